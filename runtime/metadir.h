// Creating the instance's metadata directory.
#pragma once

#include <sys/types.h>

#include <string>

// Creates dir and its missing parents (mode 0700). When `private_to` is not -1 the directory and
// its parent must be real directories owned by that uid and closed to others, so that nobody else
// can plant files in a shared place such as /tmp. 0 on success; -1 with a one-line reason.
int vexa_make_metadir(const std::string& dir, uid_t private_to, std::string* reason);
