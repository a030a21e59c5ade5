// The table of effect names and their makers, fixed when the library is built.
#pragma once

namespace pixfilter {

class CImageEffect;

// A new effect registered under exactly this name (byte-wise, case-sensitive),
// or null for an unknown name or when memory is short.
CImageEffect* CreateEffectByName(const char* name);

}  // namespace pixfilter
