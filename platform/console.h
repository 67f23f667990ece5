#pragma once
// The Windows entry point's door: arguments arrive as UTF-16 and are handed on once as
// the UTF-8 the program holds inside; the console shows UTF-8 while the program runs.

#ifdef _WIN32

namespace platform {

using Utf8Main = int (*)(int argc, char** argv);

// Runs `run` with the arguments in UTF-8 (a lone surrogate kept, as names are). Output
// goes out as plain bytes, no line end changed: a console is set to UTF-8 for the run,
// and a file or pipe gets the bytes as they are.
int RunWithUtf8Arguments(int argc, wchar_t** argv, Utf8Main run);

}  // namespace platform

#endif
