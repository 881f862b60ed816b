#!/usr/bin/env node
// quorvel.js is a program of its own, started by node wherever it is.
