#pragma once

#include <sys/types.h>

// The permission bits a new file made with mode 0666 gets: 0666 less the process's umask. For a
// file that is written under a private name and renamed into place, so that it ends up as readable
// (and, with umask 002, as writable for the web site's group) as one made by open would be.
mode_t DefaultFileMode();
