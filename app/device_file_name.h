// The one rule for file names made from a device's text (thumbnails,
// snapshots, recordings): the text comes from the server, so separators and
// control bytes become "_" and "." and ".." are refused; nothing else changes.
#pragma once

#include <string>
#include <string_view>

// The file name, or empty when the text cannot name a file.
std::string DeviceFileName(std::string_view deviceText);
