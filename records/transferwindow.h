#pragma once

namespace records {

struct Description;

// frmTrdData: the transfers of certificates between holders, one row of transfer_data at a time.
const Description& transfers();

} // namespace records
