#pragma once
// The table a search that ignores case folds each code unit by, as the system writes the
// unit in upper case.
namespace tarnwick::win32 {

// TextSearch::kFoldSize units, made at the first call; surrogates stay as they are.
const char16_t* UpperCase();

}  // namespace tarnwick::win32
