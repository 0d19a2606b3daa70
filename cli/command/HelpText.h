// What `beatclone --help` prints, wrapped to 80 columns; the man page is made from it.
#pragma once

namespace beatclone::cli {

const char* HelpText();

} // namespace beatclone::cli
