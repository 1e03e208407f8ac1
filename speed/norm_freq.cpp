#include "speed/norm_freq.h"

namespace {

// Each list ascends and ends with 0. The odd values (667, 1130, no 3700 or 3900) are the
// ratings the parts were sold at.
constexpr uint16_t kFamily3[] = {16, 20, 25, 33, 40, 0};
constexpr uint16_t kFamily4[] = {25, 33, 50, 66, 75, 100, 0};
constexpr uint16_t kFamily5[] = {60,  66,  75,  90,  100, 120, 133, 150, 166, 185, 200, 233,
                                 266, 300, 350, 366, 400, 433, 450, 500, 533, 600, 0};
constexpr uint16_t kFamily6[] = {133, 150, 166, 185, 200,  220,  240,  266,  300,  350, 366,
                                 400, 433, 450, 500, 533,  600,  650,  667,  700,  733, 750,
                                 800, 850, 866, 933, 1000, 1130, 1200, 1400, 1500, 0};
constexpr uint16_t kFamily15[] = {1400, 1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200,
                                  2300, 2400, 2500, 2600, 2700, 2800, 2900, 3000, 3100,
                                  3200, 3300, 3400, 3500, 3600, 3800, 4000, 4100, 0};

struct NominalList {
    uint16_t family;
    int32_t tolerance;
    const uint16_t* ratings;
};

constexpr NominalList kNominalLists[] = {
    {3, 2, kFamily3}, {4, 4, kFamily4}, {5, 5, kFamily5}, {6, 5, kFamily6}, {15, 5, kFamily15},
};

}  // namespace

int32_t NormFreq(uint16_t processor, int32_t freq) {
    for (const NominalList& list : kNominalLists) {
        if (list.family != processor)
            continue;
        for (const uint16_t* rating = list.ratings; *rating != 0; ++rating) {
            if (freq <= *rating + list.tolerance)
                return *rating;
        }
        return freq;
    }
    return freq;
}
