// Commands of orvalink-cli that live outside main.cpp.
#pragma once

#include <string>

namespace orvalink {

class TTiFlashFm;

// Loads a QM-5100 family document into `flash`; prints the reason and
// returns false when it cannot.
bool LoadDocumentImage(const std::string& path, TTiFlashFm& flash);

// The keys of a code set: key, code type, carrier in kHz, marks/spaces in us.
int CodesCommand(const std::string& path, const std::string& codeNumber);
// The eight LCD pages and the hard keys of a device as one picture.
int RenderCommand(const std::string& path, const std::string& slot, const std::string& out);
// Whether this build can render (it needs the Qt drawing library).
bool CanRender();

}  // namespace orvalink
