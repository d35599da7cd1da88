#include "core/link/exit_status.h"

namespace varda {
int exit_code_of(unsigned word) {
    for (int code = kFirstStatusCode; code <= kLastStatusCode; ++code)
        if (word & (1u << (code - kFirstStatusCode))) return code;
    return 0;
}

std::string_view exit_code_meaning(int code) {
    switch (code) {
        case 0:
            return "done";
        case 200:
            return "the file to write is missing, empty or unusable, or holds values that cannot be written";
        case 201:
            return "the port cannot be opened";
        case 202:
            return "the module did not answer";
        case 203:
            return "garbled replies (or replies that cannot be decoded)";
        case 204:
            return "the module reported an error";
        case 205:
            return "cancelled or ended by the exit event";
        case 206:
            return "the module is not a known model";
        case 207:
            return "the configuration could not be saved";
        case 208:
            return "the model's description could not be loaded from varda.dat";
        default:
            return {};
    }
}

}  // namespace varda
