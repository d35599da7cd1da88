#include "core/app/service/model_calibration.h"

#include "core/app/document/dialogs.h"
#include "core/calibration/inductance_calibration.h"
#include "core/calibration/meter_calibration.h"
#include "core/calibration/offset_scale_calibration.h"
#include "core/calibration/output_calibration.h"
#include "core/calibration/ph_calibration.h"
#include "core/calibration/strain_gauge_calibration.h"
#include "core/devices/models.h"
#include "core/link/device.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/strings.h"

namespace varda {

namespace {

bool calibrate_meter(CDeviceVolt& model, ElementContext& link) {
    // An instruction must name the values the module calibrates against, never "no data".
    if (ModelContext* context = model.context()) {
        for (std::string_view name : model.ReferenceValueNames()) {
            Parameter* value = context->find_parameter(name, 0);
            if (value && value->value_text() == str(kNoData)) link.read_parameter(*value, false);
        }
    }
    CalibrationVolt::CSheetVolt wizard(link, model);
    return dialogs().run_calibration_wizard(wizard);
}

}  // namespace

bool calibrate_model(CBaseDevice& model) {
    switch (model.calibration_kind()) {
        case CalibrationKind::None:
            return false;
        case CalibrationKind::Generic:
            return dialogs().run_generic_calibration(model);
        case CalibrationKind::Outputs: {
            // The dialog needs the request engine itself (attribute writes), which the model knows as its
            // link.
            auto* device = dynamic_cast<Device*>(model.link());
            if (!device) return false;
            calibration::OutputCalibration dialog(*device, device->options(), model);
            return dialogs().run_output_calibration(dialog);
        }
        default:
            break;
    }
    ElementContext* link = model.link();
    if (!link) return false;
    switch (model.calibration_kind()) {
        case CalibrationKind::OffsetScale: {
            Parameter* input_type = model.context() ? model.context()->find_parameter("in-t", 0) : nullptr;
            OffsetScaleCalibration wizard(*link, input_type, model.model_index() == 17);
            return dialogs().run_calibration_wizard(wizard);
        }
        case CalibrationKind::Inductance: {
            InductanceCalibration wizard(*link);
            return dialogs().run_calibration_wizard(wizard);
        }
        case CalibrationKind::StrainGauge: {
            auto* gauge = dynamic_cast<CVK13*>(&model);
            if (!gauge) return false;
            CalibrationTD::CSheetTD wizard(*link, model.context(), gauge->channel_count());
            return dialogs().run_calibration_wizard(wizard);
        }
        case CalibrationKind::PH: {
            CalibrationPH::CSheetPH wizard(*link, model.context());
            return dialogs().run_calibration_wizard(wizard);
        }
        case CalibrationKind::Meter: {
            auto* meter = dynamic_cast<CDeviceVolt*>(&model);
            return meter && calibrate_meter(*meter, *link);
        }
        default:
            return false;
    }
}

}  // namespace varda
