// quorvel-picture, the page's own program: what the page shows of a picture
// before any run, told by the programs' picture reader and C64 matcher, so
// that the page reads no picture itself.
#pragma once

int describe_picture(int argc, char** argv);
