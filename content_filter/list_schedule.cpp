#include "content_filter/list_schedule.h"

namespace lumo::content_filter {

bool ListUpdateDue(std::int64_t last, std::int64_t now)
{
    return last <= 0 || last > now || now - last >= kListUpdateIntervalSeconds;
}

} // namespace lumo::content_filter
