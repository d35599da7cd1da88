#include "core/app/files/parameter_list_export.h"

#include <cstdint>
#include <vector>

#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr std::string_view kNumberSign = "№";
constexpr std::string_view kNumberedGroup = "№...";

void replace_all(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string escape_angles(std::string text) {
    replace_all(text, "<", "&lt;");
    replace_all(text, ">", "&gt;");
    return text;
}

// "Вход №1" and "Вход №2" name copies of one group: the number up to the next space becomes "...".
std::string group_name(std::string name) {
    const std::size_t sign = name.find(kNumberSign);
    if (sign == std::string::npos) return name;
    const std::size_t space = name.find(' ', sign);
    name.replace(sign, space == std::string::npos ? std::string::npos : space - sign, kNumberedGroup);
    return name;
}

// A list's items by code, hidden ones too; an item after a gap says its code.
std::string type_cell(const ValueType& type) {
    if (!type.is_enumeration()) return escape_angles(std::string(type.name()));
    std::string cell = "\n\t<ol start=0>\n";
    std::size_t next_code = 0;
    for (std::size_t code = 0; code < type.items().size(); ++code) {
        std::string item = type.items()[code];
        if (item.empty()) continue;
        replace_all(item, "_", " ");
        cell += code == next_code ? std::string("\t\t<li> ")
                                  : platform::format_c("\t\t<li value=%i> ", int(code));
        cell += escape_angles(item) + "\n";
        next_code = code + 1;
    }
    return cell + "\t</ol>";
}

std::string attributes_cell(int flag) {
    if (flag == 1) return "обычн. атрибуты";
    if (flag == 0) return "нет атрибутов";
    return platform::format_c("дерево атр-ов обрезано (кратность индекcов %i)", flag);
}

std::string group_header(const std::string& title) {
    std::string out = "<tr><td colspan=8 bgColor=\"#ffffaa\"><b>" + title + "</b></td></tr>\n<tr>\n";
    for (std::string_view caption :
         {"№", "Команда", "Хеш", "Описание", "Тип", "Индексация", "Диапазон значений", "Атрибуты"})
        out += "<td><strong><b>" + std::string(caption) + "</b></strong></td>\n";
    return out + "</tr>\n";
}

// "0,step..max" over the parameter's instances in the whole tree, or "без индекса" for a single one.
std::string index_text(DescBranch& root, const Parameter& parameter) {
    int max_index = 0;
    int step = 0;
    root.FindParameter(parameter.network_name(), nullptr, &max_index, &step, 0);
    if (max_index == 0) return "без индекса";
    return platform::format_c("0,%i..%i", step, max_index);
}

void write_branch(std::string& page, DescBranch& root, const DescBranch& element, const std::string& path,
                  int& row) {
    std::string previous;
    for (const auto& child : element.children) {
        const std::string name = group_name(child->name);
        if (name == previous) continue;  // a further copy of a numbered group
        previous = name;
        if (!child->parameters.empty()) {
            if (!child->IsCollapsible()) page += group_header(path + name);
            for (const auto& parameter : child->parameters)
                page += parameter_list_row(*parameter, ++row, index_text(root, *parameter));
        }
        write_branch(page, root, *child, path + name + "\\", row);
    }
}

// The closing note on the data formats.
constexpr std::string_view kFormatsNote =
    "<html>\n<head>\n<meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\n"
    "</head>\n<body>\n<h4>Примечание:</h4>\n<p>Форматы представления данных:</p>\n"
    "<table border=1 style=\"font-size=12px\">\n"
    "<tr><td><b>№</b></td><td><b>Сокращенная мнемоника</b></td><td><b>Характеристика</b></td></tr>\n"
    "<tr><td>1</td><td>float</td><td>Значение параметра представляет собой 32-разрядное число с плавающей "
    "точкой.</td></tr>\n"
    "<tr><td>2</td><td>int</td><td>Значение параметра представляет собой 16-разрядное знаковое число с "
    "односторонней десятичной точкой.</td></tr>\n"
    "<tr><td>3</td><td>ASCI</td><td>Значение параметра отображается не числом, а последовательностью от 1 до "
    "15 ASCII-символов.</td></tr>\n"
    "<tr><td>4</td><td>CLK_frm</td><td>Составной тип данных с информацией о времени.</td></tr>\n"
    "<tr><td>5</td><td>string</td><td>Нетипизированные целые числа или наборы битов.</td></tr>\n"
    "<tr><td>6</td><td>STORED_DOT</td><td>Знаковое число с односторонней десятичной точкой.</td></tr>\n"
    "<tr><td>7</td><td>Перечень значений</td><td>8-разрядное целое число; каждому значению в конфигураторе "
    "сопоставлен текст.</td></tr>\n"
    "</table>\n</body>\n</html>\n";

}  // namespace

std::string parameter_list_row(const Parameter& parameter, int row, std::string_view index_text) {
    auto cell = [](const std::string& content) { return "\t<td>" + content + "\t</td>\n"; };
    std::string description = escape_angles(parameter.description);
    replace_all(description, "№1", kNumberedGroup);
    const std::string range =
        parameter.minimum() < parameter.maximum()
            ? platform::format_c("от %.3f до %.3f", parameter.minimum(), parameter.maximum())
            : std::string("нет ограничений");
    std::string out = platform::format_c("<tr>\n\t<td>%i\t</td>\n", row);
    out += cell(parameter.network_name());
    out += cell(platform::format_c("%04X", static_cast<unsigned>(parameter.Hash())));
    out += cell(description);
    out += cell(type_cell(ValueType(parameter.data_type())));
    out += cell(std::string(index_text));
    out += cell(range);
    out += "\t<td>" + attributes_cell(parameter.attributes_flag) + "\t</td>\n</tr>\n";
    return out;
}

std::string parameter_list_page(DescBranch& root, std::string_view model_name) {
    std::string page =
        "<html>\n<head>\n<meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\n"
        "\t<title>Список параметров прибора " +
        std::string(model_name) +
        "</title>\n</head>\n\n<body>\n<h4>Список конфигурационных параметров</h4>\n"
        "<table border=1 width=\"100%\" style=\"font-size=12px\">\n";
    int row = 0;
    write_branch(page, root, root, {}, row);
    page += "</table>\n\n<br>\n";
    page += kFormatsNote;
    page += "</TABLE>\n</body>\n</html>";
    return page;
}

SaveResult export_parameter_list(DescBranch& root, std::string_view model_name,
                                 const std::filesystem::path& path) {
    const std::string page = platform::utf8_to_cp1251(parameter_list_page(root, model_name));
    std::vector<std::uint8_t> bytes;
    bytes.reserve(page.size() + page.size() / 16);
    for (const char c : page) {
        if (c == '\n') bytes.push_back('\r');
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    SaveResult written = write_file_replacing(path, bytes);
    if (!written.ok)
        written.message = "Cannot write the parameter list '" + path.string() + "'.\n" + written.message;
    return written;
}

}  // namespace varda
