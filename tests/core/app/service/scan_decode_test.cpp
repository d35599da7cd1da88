// How the tree shows scanner readings that carry codes rather than values.
#include "core/app/service/scan_decode.h"

#include <gtest/gtest.h>

#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/elements.h"
#include "tests/support/english_screen.h"

namespace varda {
namespace {

class StatusModel : public CBaseDevice {
  public:
    StatusModel() : CBaseDevice(12, nullptr) {}
    std::string GetStatusText(int item, unsigned status) const override {
        return "item " + std::to_string(item) + ((status >> item) & 1 ? " set" : " clear");
    }
};

ScanResult reading(Parameter& scanner, std::string value, std::string error = {}) {
    ScanResult r;
    r.scanner = &scanner;
    r.value_text = std::move(value);
    r.error_text = std::move(error);
    return r;
}

TEST(ScanDecode, InputMaskSpreadsOverTheChildRows) {
    Parameter inputs("r.cn");
    const ScanDisplay d = decode_scan_result(reading(inputs, "5"), nullptr, nullptr, {}, 4);
    EXPECT_EQ(d.value_text, "5");
    EXPECT_EQ(d.child_texts, (std::vector<std::string>{"включен", "отключен", "включен", "отключен"}));
    Parameter outputs("S.Do");
    EXPECT_EQ(decode_scan_result(reading(outputs, "8"), nullptr, nullptr, {}, 4).child_texts.back(),
              "включен");
    test::EnglishScreen english;
    EXPECT_EQ(decode_scan_result(reading(inputs, "1"), nullptr, nullptr, {}, 2).child_texts,
              (std::vector<std::string>{"on", "off"}));
}

TEST(ScanDecode, StatusWordInHexWithTheModelsItems) {
    Parameter status("Rd.St");
    StatusModel model;
    const ScanDisplay d = decode_scan_result(reading(status, "10"), nullptr, &model, {}, 3);
    EXPECT_EQ(d.value_text, "0x0a");
    EXPECT_EQ(d.child_texts, (std::vector<std::string>{"item 0 clear", "item 1 set", "item 2 clear"}));
    Parameter stat("Stat");
    EXPECT_EQ(decode_scan_result(reading(stat, "255"), nullptr, &model, {}, 0).value_text, "0xff");
}

TEST(ScanDecode, MeasurementResultCodes) {
    Parameter result("srd");
    EXPECT_EQ(decode_scan_result(reading(result, "0"), nullptr, nullptr, {}, 0).value_text,
              "Measuring successful");
    EXPECT_EQ(decode_scan_result(reading(result, "253"), nullptr, nullptr, {}, 0).value_text, "Sensor break");
    EXPECT_EQ(decode_scan_result(reading(result, "250"), nullptr, nullptr, {}, 0).value_text,
              "Measured value too high");
    EXPECT_EQ(decode_scan_result(reading(result, "7"), nullptr, nullptr, {}, 0).value_text,
              "Responce cannot be translated");
}

TEST(ScanDecode, FailedReadingShowsOnlyTheError) {
    Parameter result("srd");
    const ScanDisplay d = decode_scan_result(reading(result, "", "Time-out error"), nullptr, nullptr, {}, 0);
    EXPECT_EQ(d.value_text, "");
    EXPECT_EQ(d.error_text, "Time-out error");
}

TEST(ScanDecode, PotentialReadingNamesWhatTheSensorMeasures) {
    DescBranch root;
    Parameter& sensor = root.AddParameter(std::make_unique<Parameter>("sen.t"));
    sensor.set_data_type("pH:ORP");
    Parameter reading_parameter("rd.rs");
    int reads = 0;
    const ModuleRead read = [&reads](Parameter& p) {
        ++reads;
        p.SetValueText("ORP");
        return true;
    };
    ScanDisplay d = decode_scan_result(reading(reading_parameter, "120"), &root, nullptr, read, 0);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(d.description, "Measured reduction potential, mV");

    // A sensor type the user changed is taken as it is.
    sensor.SetValueText("pH");
    sensor.value_modified = true;
    d = decode_scan_result(reading(reading_parameter, "7"), &root, nullptr, read, 0);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(d.description, "Measured pH");

    // No answer from the module: the description stays.
    sensor.value_modified = false;
    d = decode_scan_result(
        reading(reading_parameter, "7"), &root, nullptr, [](Parameter&) { return false; }, 0);
    EXPECT_FALSE(d.description);
}

}  // namespace
}  // namespace varda
