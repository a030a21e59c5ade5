#pragma once

// Switches the process to a locale whose decimal separator is "," for the
// life of the object. The locale is compiled into a private folder with
// localedef (glibc finds it through LOCPATH), so the machine needs only the
// locale sources of the "locales" package, which the install script adds.

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

class CommaLocale {
public:
    CommaLocale() {
        namespace fs = std::filesystem;
        const fs::path dir = fs::temp_directory_path() / ("profiles-locale-" + std::to_string(::getpid()));
        dir_ = dir;
        fs::create_directories(dir);
        const std::string made = (dir / "de_DE.UTF-8").string();
        if (!fs::exists(made)) {
            const std::string cmd = "localedef -i de_DE -f UTF-8 '" + made + "' >/dev/null 2>&1";
            // Its exit status also counts warnings; whether setlocale takes the result decides.
            const int status = std::system(cmd.c_str());
            (void)status;
        }
        ::setenv("LOCPATH", dir.c_str(), 1);
        ok_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // False when the locale could not be made (no "locales" package).
    bool Active() const { return ok_; }

private:
    bool ok_ = false;
    std::filesystem::path dir_;
};
