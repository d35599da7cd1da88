#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varda {

class CTarnDoc;
class DescBranch;
class Parameter;
struct LoadedConfiguration;

// One parameter whose value differs between the document and the module or a configuration file.
struct Difference {
    std::string path;  // branch path as the export writes it ("Вход 2"), "" for the root's own
    std::string name;  // network name
    int index = -1;    // -1: not indexed
    std::string description;
    std::string document_value;
    std::string other_value;
    // The other side's attributes: a difference may lie in them alone.
    bool attributes_differ = false;
    bool other_access = true;
    bool other_user = false;
    Parameter* parameter = nullptr;  // the document's
    // The file's, after a file comparison: what "Write checked" sends.
    Parameter* file_parameter = nullptr;
    bool checked = true;
};

enum class DifferenceColumn { Branch, Parameter, Description, Document, Other };

// Where every parameter of the tree sits: "Вход 2/FiLt:1".
std::map<const Parameter*, std::string> parameter_places(const DescBranch& root);

// The logic of the differences window: every difference of one comparison with a check box, sorted and
// filtered by branch for the view, and the two actions on the checked rows.
class DifferencesController {
  public:
    enum class Source { Module, File };
    DifferencesController(CTarnDoc& doc, Source source, std::string other_name, std::vector<Difference> rows);
    // A file comparison keeps the file's tree, whose parameters the rows name.
    DifferencesController(CTarnDoc& doc, std::string file_name, std::vector<Difference> rows,
                          std::shared_ptr<const LoadedConfiguration> file,
                          std::vector<std::string> not_compared);

    Source source() const { return source_; }
    // "Module", or the file's name: the title of the other value's column.
    const std::string& other_name() const { return other_name_; }
    const std::vector<Difference>& rows() const { return rows_; }
    // After a file comparison, one line for each parameter only one side holds (nothing to take or write).
    const std::vector<std::string>& not_compared() const { return not_compared_; }
    // The cell of a row as the window shows it.
    static std::string cell_text(const Difference& row, DifferenceColumn column);

    // Indexes into rows() that the branch filter lets through, in the chosen order.
    std::vector<std::size_t> shown() const;
    // The branch paths that hold differences, in natural order ("" for the root's own).
    std::vector<std::string> branches() const;
    // No filter shows every row; a path shows that branch and the branches below it ("": the root's own).
    void set_branch_filter(std::optional<std::string> path) { filter_ = std::move(path); }
    void sort_by(DifferenceColumn column, bool ascending);

    void set_checked(std::size_t row, bool checked) { rows_.at(row).checked = checked; }
    // Checks or unchecks the rows shown.
    void check_shown(bool checked);
    int checked_count() const;

    // Takes the other values and attributes of the checked rows into the document as one edit of its
    // history; those rows leave the list. Returns how many were taken.
    int take_checked();
    // Writes the checked rows to the module in one task: the document's values after a module comparison
    // (the rows written leave the list), the file's after a file comparison. False when nothing ran.
    bool write_checked();

  private:
    std::vector<Parameter*> checked_parameters() const;

    CTarnDoc& doc_;
    Source source_;
    std::string other_name_;
    std::vector<Difference> rows_;
    std::optional<std::string> filter_;
    std::shared_ptr<const LoadedConfiguration> file_;
    std::vector<std::string> not_compared_;
};

// The differences the document's last compare with the module found, all of them.
std::unique_ptr<DifferencesController> module_differences(CTarnDoc& doc);
// The differences between the document and a configuration file of the same model, read without touching
// the document; null with `error` when the file cannot be compared.
std::unique_ptr<DifferencesController> file_differences(CTarnDoc& doc, const std::string& path,
                                                        std::string& error);
// "Compare with file...": the comparison result, offering "Show all" to open the differences window.
// False after an error message.
bool compare_with_file(CTarnDoc& doc, const std::string& path);
// Opens the differences window over the document's last compare with the module.
void show_module_differences(CTarnDoc& doc);

}  // namespace varda
