#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/app/command_line/command_line.h"

namespace varda {

// One module of a plant as its file plans it.
struct PlantModule {
    int address = 0;
    int model_index = -1;  // a row of the device table
    std::string tag;
    std::filesystem::path template_file;  // a .vdc or the JSON of --export:json; empty: none
    // Values over the template for this module, in the file's order: "t.out" = "5", "FiLt:0" = "20".
    std::vector<std::pair<std::string, std::string>> values;
    int source_line = 0;
};

// One RS-485 line: a port (a device or a tcp:// / rfc2217:// gateway) with the modules on it.
struct PlantLine {
    std::string name;
    // The port and its framing as the command line's options name them (-port, -bps, -prty, -len, -sbit,
    // -alen, -rs485); what the line leaves out stays unset.
    CommandLine settings;
    std::vector<PlantModule> modules;
    int source_line = 0;
};

struct Plant {
    std::filesystem::path file;
    std::vector<PlantLine> lines;
};

// A plant file read and checked, or what is wrong with it: each error names the file, the line in it and
// what to write instead. Nothing is opened on the line to check it.
struct PlantRead {
    Plant plant;
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};

// Reads a plant file (TOML). Template paths are taken relative to the plant file's folder.
PlantRead read_plant_file(const std::filesystem::path& file);

}  // namespace varda
