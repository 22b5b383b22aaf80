// Sets or unsets an environment variable for one scope.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? Set(value) : Unset();
    }
    ~ScopedEnv() { old_ ? (void)::setenv(name_.c_str(), old_->c_str(), 1) : (void)::unsetenv(name_.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const char* value) { ::setenv(name_.c_str(), value, 1); }
    void Unset() { ::unsetenv(name_.c_str()); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace testing_support
