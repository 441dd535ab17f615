#include "store/store_value.h"

namespace store {

bool isNumeric(ValueType t) {
    switch (t) {
        case ValueType::Byte:
        case ValueType::Short:
        case ValueType::Int:
        case ValueType::Long:
        case ValueType::Float:
        case ValueType::Double:
            return true;
        default:
            return false;
    }
}

}  // namespace store
