// The module's plug-in property list (resource type PIPL), read the way a host reads it
// before running any of the module's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One entry of the filter case table ('fici'): how the host prepares the pixels for a case.
struct FilterCaseHandling {
    uint8_t input = 0;  // 1 straight data, 2 black, 3 grey, 4 white matting; 0 cannot filter
    uint8_t output = 0; // the same for the output
    uint8_t flags = 0;  // bit 0: do not copy the source into the output buffer
};

struct PiplProperty {
    std::string vendor;
    std::string key;
    int32_t id = 0;
    std::vector<uint8_t> data;
};

struct Pipl {
    std::vector<PiplProperty> properties;
    std::string kind;
    std::string menu_name;
    std::string category;
    bool has_version = false;
    uint32_t version = 0;
    std::string entry_point_x86_64; // '8664'; empty when absent
    std::string entry_point_arm64;  // 'wa64'; empty when absent
    std::vector<uint8_t> modes;
    std::string enable;
    bool has_limits = false;
    int32_t max_height = 0, max_width = 0;
    bool filter_layer = false;
    std::vector<FilterCaseHandling> filter_cases; // index 0 is case 1
};

// Four bytes, a little-endian 32-bit value, as its four characters from the top byte down.
std::string four_character_code(const uint8_t* at);

// The two machines as users read their names (Windows' and Photoshop's own: x64, not x86-64).
constexpr char kX64Name[] = "x64";
constexpr char kArm64Name[] = "ARM64";
// The machine bfrun is built for, and the key of its entry point.
#if defined(__aarch64__)
constexpr const char* kThisMachine = kArm64Name;
constexpr char kThisMachineEntryKey[] = "wa64";
#else
constexpr const char* kThisMachine = kX64Name;
constexpr char kThisMachineEntryKey[] = "8664";
#endif
// The entry point for the machine bfrun is built for; empty when the list names none.
const std::string& entry_point_for_this_machine(const Pipl& pipl);

// Reads a property list; false with a one-line reason when it is malformed.
bool parse_pipl(const uint8_t* data, size_t size, Pipl& pipl, std::string& error);

// A readable description, one fact a line.
std::string describe_pipl(const Pipl& pipl);

// Names of the modes set in a 'mode' property, comma-separated.
std::string describe_modes(const std::vector<uint8_t>& modes);
