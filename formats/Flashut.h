// V files: the program's document container, and the file dialogs and
// commands built on it. The chief header: it brings in
//   formats/VFileHeader.h    the header record, its fields, kinds and versions
//   formats/VFilePassword.h  the scrambled password block
//   formats/VFiles.h         loading and saving whole V files
//   formats/FileKinds.h      the dialogs' file kinds and path texts
//   formats/Documents.h      the image as a document, load and save
//   formats/VFileCommands.h  the windows' file dialogs and V-file commands
//
// A V file is a header of fixed layout (little-endian, no padding) followed
// by a zip archive with one entry, the payload, encrypted with a password
// that the header carries in scrambled form:
//
//   offset  size    field
//   0       4       checksum: byte sum of everything from offset 4 to the end
//   4       4       file length
//   8       4       payload length (after extraction)
//   12      2       reserved (0)
//   14      30      model name (file-name form), zero-filled
//   44      8       extension text ("vmcf", "vmcu", "vmod", "virc"), zero-filled
//   52      2       kind code (100..103)
//   54      2       model code
//   56      2       version word (high byte major, low byte minor)
//   58      1       reserved (0)
//   59      1       reserved (0)
//   60      64      password block, bytes 1.. scrambled
//   124     1       name form (1..3)
//   125     2       name count N (1..1024; above 2 only with name form 3)
//   127     30 * N  names; name 0 is the archive entry's name
//   127+30N ...     the archive
//
// Files we write have name form 1 and one name, so their header is 157 bytes.
//
// Every operation returns a success flag or an outcome and never throws. A refused load
// leaves the caller's payload and header untouched; a save never leaves a
// half-written file behind (it writes beside the target and renames).
#pragma once

#include "formats/Documents.h"
#include "formats/FileKinds.h"
#include "formats/VFileCommands.h"
#include "formats/VFileHeader.h"
#include "formats/VFilePassword.h"
#include "formats/VFiles.h"
