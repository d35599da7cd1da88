#include "core/devices/module_restore.h"

#include "core/model/parameter.h"

namespace varda {

std::unique_ptr<Parameter> make_restore_parameter(const RestoreWrite& write) {
    auto command = std::make_unique<Parameter>("S.Def");
    command->set_data_type("void");
    command->SetValueText({});
    command->indexed = write.indexed;
    command->network_index = write.indexed ? write.index : 0;
    return command;
}

std::optional<std::string> run_module_restore(const std::vector<RestoreWrite>& writes,
                                              const std::function<bool(Parameter&)>& write) {
    for (const RestoreWrite& each : writes) {
        const auto command = make_restore_parameter(each);
        if (write(*command)) continue;
        // The module acts on the command even when its reply cannot be decoded.
        if (command->failure_kind() == FailureKind::NotDecodable) continue;
        return command->error_text;
    }
    return std::nullopt;
}

}  // namespace varda
