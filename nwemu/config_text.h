// The description file of the emulated servers, `ferrit-netware.ini`: read into a Config and
// written from one.
//
// File format (one setting a line; blank lines and lines starting with ';' or '#' are ignored;
// names of servers, volumes, users and groups are case-insensitive and kept in capitals):
//
//     [server FS1]                     ; a server, by name
//     tree = ACME_TREE                 ; optional: the directory tree it belongs to; a server
//                                      ; without a tree speaks bindery only
//     volume DATA = /srv/nw/fs1/data   ; a volume mapped onto a local directory (relative
//                                      ; directories are taken from the file's own directory)
//     login = JSMITH                   ; the user the workstation is logged in as on this server
//     handles = 255                    ; optional: temporary directory handles per connection
//     bindery context = OU=SALES.O=ACME; O=ACME
//                                      ; optional, tree servers only: the containers whose
//                                      ; objects the server's bindery answers for; without it,
//                                      ; the containers of the objects the server describes
//     user JSMITH = 0x01000011, CN=JSMITH.OU=SALES.O=ACME
//                                      ; a user: this server's object identifier and, on a
//                                      ; tree server, its directory-services name
//     group SALES = 0x02000021, CN=SALES.OU=SALES.O=ACME
//     member SALES = JSMITH, MBROWN    ; the users of a group
//
// Identifiers are decimal or 0x-hexadecimal, nonzero and unique on their server.
#pragma once

#include <string>

#include "nwemu/config.h"

namespace ferrit {
namespace nwemu {

// Reads a configuration text. On failure `error` is "FILE:LINE: what is wrong" (without a
// line for faults of the whole description) and false is returned.
bool ParseConfig(const std::string& text, const std::string& fileName, Config& out,
                 std::string& error);
// Reads a configuration file; a file that is missing, not a regular file, larger than 1 MiB or
// unreadable is an error too, named in `error`.
bool LoadConfig(const std::string& fileName, Config& out, std::string& error);
// The text of a configuration, in the format above; ParseConfig reads it back. Objects known
// from the tree only are not written.
std::string FormatConfig(const Config& config);

}  // namespace nwemu
}  // namespace ferrit
