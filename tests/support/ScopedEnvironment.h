#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable for its lifetime (unset when `value` is null), then puts the
// old value back.
class TScopedEnvironment {
public:
    TScopedEnvironment(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name)) {
            FOld = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TScopedEnvironment() {
        if (FOld) {
            setenv(FName.c_str(), FOld->c_str(), 1);
        } else {
            unsetenv(FName.c_str());
        }
    }
    TScopedEnvironment(const TScopedEnvironment&) = delete;
    TScopedEnvironment& operator=(const TScopedEnvironment&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};
