// Sends one of this process's output descriptors (1 standard output, 2
// standard error) to a file while it lives, for checks of what a run printed.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testing_support {

class DescriptorCapture {
public:
    DescriptorCapture(int descriptor, const std::string& path) : descriptor_(descriptor)
    {
        Flush();
        saved_ = ::dup(descriptor_);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, descriptor_);
        ::close(file);
    }
    ~DescriptorCapture()
    {
        Flush();
        ::dup2(saved_, descriptor_);
        ::close(saved_);
    }
    DescriptorCapture(const DescriptorCapture&) = delete;
    DescriptorCapture& operator=(const DescriptorCapture&) = delete;

private:
    void Flush() { std::fflush(descriptor_ == 1 ? stdout : stderr); }

    int descriptor_;
    int saved_;
};

} // namespace testing_support
