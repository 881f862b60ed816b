#!/usr/bin/env node
// quorvel.js is a program of its own, started by node wherever it is: this
// line, before emscripten's code, makes the file executable as a command.
