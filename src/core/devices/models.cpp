#include "core/devices/models.h"

namespace varda {

std::unique_ptr<CBaseDevice> create_device_model(int index, ModelContext* context) {
    switch (index) {
        case 0:
            return std::make_unique<CVK00>(context);
        case 1:
            return std::make_unique<CVK01>(context);
        case 2:
            return std::make_unique<CVK02>(context);
        case 3:
            return std::make_unique<CVK03>(context);
        case 4:
            return std::make_unique<CVK04>(context);
        case 5:
            return std::make_unique<CVK05>(context);
        case 6:
            return std::make_unique<CVK06>(context);
        case 7:
            return std::make_unique<CVK07>(context);
        case 8:
            return std::make_unique<CVK08>(context);
        case 9:
            return std::make_unique<CVK09>(context);
        case 10:
            return std::make_unique<CVK10>(context);
        case 11:
            return std::make_unique<CVK11>(context);
        case 12:
            return std::make_unique<CVK12>(context);
        case 13:
            return std::make_unique<CVK13>(CVK13::kOneChannel, context);
        case 14:
            return std::make_unique<CVK13>(CVK13::kFourChannels, context);
        case 15:
            return std::make_unique<CVK15>(context);
        case 16:
            return std::make_unique<CVK16>(context);
        case 17:
            return std::make_unique<CVK17>(context);
        case 18:
            return std::make_unique<CVK18>(context);
        case 19:
            return std::make_unique<CVK19>(context);
        case 20:
            return std::make_unique<CVK20>(context);
        case 21:
            return std::make_unique<CVK21>(context);
        case 22:
            return std::make_unique<CVK22>(context);
        default:
            return nullptr;
    }
}

}  // namespace varda
