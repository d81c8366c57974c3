// Design centring of a tolerance request (--centre): its nominal moved to
// where the yield against its limits is largest, the search's samples
// computed on every core, and the table that reports it.
#pragma once

#include <memory>

#include "commands/requests.hpp"
#include "commands/row_runner.hpp"
#include "commands/rows.hpp"
#include "design/tolerance_centre.hpp"

namespace ketrovane::commands {

// Searches the request's nominal on its samples 0 .. n - 1, n the run's
// samples up to 20000 (the same for every candidate), and puts the centred values in
// request.design: the run that follows is an ordinary run at the centred design.  The result says
// where the search started and what it found.
CentreResult centre_request(ToleranceRequest& request, const RunOptions& run = {});

// Columns of the centring: design ("start", "centred"), the searched
// dimensions (w, then s, sv or wo) in the length unit, yield_pct,
// yield_low_pct and yield_high_pct (its 95 % interval) on the search's
// samples, and smoothed_yield_pct, the smoothed yield the search compared.
std::unique_ptr<RowSource> tolerance_centre_rows(const CentreResult& result);

}  // namespace ketrovane::commands
