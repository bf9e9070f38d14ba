// A key's IR code as the code library of an image holds it, decoded into a
// stored IR code record: what loading a pre-programmed device gives each key.
#pragma once

#include "image/CodeRecords.h"
#include "image/Tiflashut.h"

namespace orvalink::gen {

// False when the code number has no set or the key no code.
bool DecodeLibraryKeyOf(const TTiFlashFm& flash, int codeNumber, int key, IrCodeInfo& code);

}  // namespace orvalink::gen
