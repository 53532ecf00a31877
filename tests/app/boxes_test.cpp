// Whether the run shows a box or only logs it.
#include <gtest/gtest.h>

#include "app/boxes.h"

namespace trevan {
namespace {

TEST(Boxes, AnUnattendedRunLogsItsBoxesAndNeverWaitsForOneNoOneSees) {
    const struct {
        bool silent_switch, interactive, log_ready, shown;
    } rows[] = {
        {false, true, true, true},    {false, true, false, true},
        {true, true, true, false},    {true, true, false, true},  // no log: the box is the only record
        {false, false, true, false},  {false, false, false, false},
        {true, false, true, false},   {true, false, false, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shows_message_box(r.silent_switch, r.interactive, r.log_ready), r.shown)
            << r.silent_switch << r.interactive << r.log_ready;
}

}  // namespace
}  // namespace trevan
