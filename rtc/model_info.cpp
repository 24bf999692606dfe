#include "rtc/model_info.h"

namespace kalendo {

ModelTableArray& ModelTable() {
    static ModelTableArray table;
    return table;
}

}  // namespace kalendo
