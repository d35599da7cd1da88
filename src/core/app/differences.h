#pragma once

#include <string>
#include <vector>

namespace varda {

class DescBranch;

// One parameter whose value differs between the document's tree and another tree of the same model.
struct Difference {
    std::string branch_path;  // "Вход №2\\", empty for the root's own parameters
    std::string network_name;
    int network_index = 0;
    std::string description;
    std::string document_value;
    std::string other_value;
};

// Every parameter whose value text differs, in tree order; both trees must be built from one description
// (a file opened over another tree of the same model). Parameters are paired by their place in the tree.
std::vector<Difference> tree_differences(const DescBranch& document, const DescBranch& other);

}  // namespace varda
