#include "reportheading.h"

#include "companydetails.h"
#include "history.h"

namespace reportheading {

Expected<ReportHeading> read(const Connection& connection, bool inspection)
{
    ReportHeading heading;
    heading.inspection = inspection;
    const Expected<CompanyDetails> details = CompanyDetails::read(connection);
    if (!details)
        return details.status();
    heading.company = details->heading();
    if (!inspection)
        return heading;
    const Expected<bool> kept = history::kept(connection);
    if (!kept)
        return kept.status();
    if (kept.value()) {
        const Expected<std::optional<history::Entry>> newest = history::newest(connection);
        if (!newest)
            return newest.status();
        if (newest.value())
            heading.lastChanged = newest.value()->at;
    }
    return heading;
}

} // namespace reportheading
