#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads a settings file of sections and keys the way the Windows private-profile functions do:
// section and key names match without regard to ASCII case; the first matching section and the
// first matching key in it win; blanks around names and values are trimmed; a value enclosed in
// matching double or single quotes loses them; lines beginning with ';' are comments.
class ProfileReader {
public:
    // Parses the bytes of a settings file (see DecodeProfileText).
    explicit ProfileReader(std::string_view fileBytes);
    // Reads the file; a file that cannot be read reads as an empty one.
    static ProfileReader FromFile(const std::string& path);

    // The value of a key, or nothing when the key is missing or its value is empty.
    std::optional<std::string> GetValue(std::string_view section, std::string_view key) const;
    // An integer value (see ParseProfileInteger), or the default.
    int32_t GetInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // A text value cut to maxLength characters, or the default.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, size_t maxLength) const;
    // The key names of the section, in file order, or nothing when the file lacks the section.
    std::optional<std::vector<std::string>> KeysIn(std::string_view section) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> sections;
};

// The text of a settings file as the reader sees it: a UTF-8 byte-order mark is dropped; a file
// that starts with the UTF-16 little-endian mark is converted, each character below 256 to that
// byte and any other to '?', as a Windows editor's "Unicode" file reads through the ANSI profile
// functions; anything else is taken byte for byte.
std::string DecodeProfileText(std::string_view fileBytes);

// Whether two section or key names are the same, ASCII case ignored.
bool SameProfileName(std::string_view a, std::string_view b);

// An optional sign and decimal digits, or hexadecimal digits after a "0x" prefix, read up to
// the first other character; a text without digits reads 0. Wraps like 32-bit arithmetic.
int32_t ParseProfileInteger(std::string_view text);
