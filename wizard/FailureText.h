#pragma once
// The start of every failure text the installer's and the uninstaller's last
// pages show; the uninstaller's says "installation" too.
inline constexpr char kInstallationErrorPrefix[] = "There was an error during installation: ";
