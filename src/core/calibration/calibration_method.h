#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varda {
class DeviceIO;
class ModelContext;
}  // namespace varda

// The generic calibration's method choice: calibration types 1 to 4, their sensors with the input-type
// codes written to "in-t", the channel list of type 4, access codes and the opening instructions.
namespace varda::calibration {

inline constexpr int kTypeCount = 4;
inline constexpr int kChannelCount = 8;

struct Sensor {
    int name_id;     // numbered text shown in the list
    int input_type;  // the code written to "in-t"
};

// Numbered texts of a type's list entry and of its description (1 to 4).
int type_name_id(int type);
int type_description_id(int type);
// The sensor list of a type: 36 sensors for 1, 11 thermocouples for 2, none for 3, 4 transmitters for 4.
std::span<const Sensor> sensors_of(int type);
bool has_sensor_list(int type);
bool has_channel_list(int type);
// "Input 0" to "Input 7".
std::vector<std::string> channel_texts();
// The code a user types to reach a type.
int access_code(int type);
// What the run shows when it opens: for type 1 the instruction for the sensor's input type.
std::string opening_text(int type, int input_type);

// What the run needs from the method choice.
struct RunSetup {
    int type = 1;
    int input_type = 0;
    int channel = 0;
    std::string opening_text;
};

// The logic of the method dialog: the view shows what this says and forwards the user's choices.
class MethodChoice {
  public:
    enum class Outcome { Stay, Accepted, Cancelled };

    MethodChoice(DeviceIO& io, ModelContext* tree);

    // 0 is "Not selected".
    void set_method(int type);
    int method() const { return method_; }
    // What the dependent controls show for the chosen method.
    std::string description() const;
    bool sensors_visible() const { return has_sensor_list(method_); }
    bool channels_visible() const { return has_channel_list(method_); }
    bool code_enabled() const { return method_ != 0; }
    // The sensor list as it was last filled; it keeps its selection while its type stays.
    const std::vector<std::string>& sensor_items() const { return sensor_items_; }
    int sensor() const { return sensor_; }  // -1 none
    void set_sensor(int entry);
    const std::vector<std::string>& channel_items() const { return channel_items_; }
    int channel() const { return channel_; }  // -1 none
    void set_channel(int entry);

    // "Continue" with the text of the code field.
    Outcome press_continue(std::string_view code_text);
    // Valid once press_continue accepted.
    const RunSetup& setup() const { return setup_; }

    // Wrong codes in a row, kept in the connection's context for as long as it lasts; the fourth closes
    // the dialog.
    int wrong_codes() const;

  private:
    bool write_input_type(int input_type, int channel);

    DeviceIO& io_;
    ModelContext* tree_;
    int method_ = 0;
    int sensor_type_ = 0;  // the type whose sensors fill the list, 0 when empty
    std::vector<std::string> sensor_items_;
    int sensor_ = -1;
    std::vector<std::string> channel_items_;
    int channel_ = -1;
    RunSetup setup_;
};

}  // namespace varda::calibration
