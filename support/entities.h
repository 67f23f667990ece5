#pragma once
// Builds the two character-to-entity tables SxEntityHtml and SxEntityAll (declared in
// support/sys_init.h). Codes above 127 stand for the Latin-1 characters, so their
// one-character texts are UTF-8.

namespace support {

// Fills both tables; SysInitSx calls it. Idempotent.
void BuildEntityTables();

}  // namespace support
