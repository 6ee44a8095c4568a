#include "ui/wake_mask.h"

unsigned ChooseWakeMask(unsigned allInput, const std::function<bool(unsigned mask)>& taken) {
    const unsigned choices[] = {allInput, allInput & ~kNewInputBits,
                                allInput & ~(kNewInputBits | kRawInputBit)};
    for (const unsigned mask : choices) {
        if (taken(mask)) {
            return mask;
        }
    }
    return choices[2];
}
