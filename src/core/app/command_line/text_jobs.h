#pragma once

#include <string>
#include <vector>

namespace varda {

// Jobs on configuration files alone, without a port or a window:
//   --export:json|csv FILE.vdc [--changed]   the configuration as text on standard output
//   --import:json IN.json OUT.vdc            a configuration file made from such JSON
//   --diff A.vdc B.vdc [--json]              the differences; exit 0 equal, 1 different, 2 error
bool asks_for_text_job(const std::vector<std::string>& args);

struct TextJobResult {
    int exit_code = 0;
    std::string output;                 // for standard output
    std::vector<std::string> warnings;  // one line each, for standard error
    std::vector<std::string> errors;    // one line each, for standard error: what made the job fail
    std::string failure;                // why the job failed; "" when it did its work
};

TextJobResult run_text_job(const std::vector<std::string>& args);

}  // namespace varda
