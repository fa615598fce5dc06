#pragma once
// Where the program's DLLs may come from. Called first thing at start-up:
// afterwards every DLL loaded by name (the delay-loaded wininet, version,
// bcrypt, wintrust and crypt32 among them) comes from System32 only, never from the folder the
// program was started from, where a planted copy could wait.
bool RestrictDllSearchToSystem32();
