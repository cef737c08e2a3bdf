#include "transferwindow.h"

#include "description.h"

namespace records {

namespace {

using form::Kind;

// clang-format off
const form::Row controls[] = {
    {.name = "lblShareHolder", .kind = Kind::Label, .text = "Transferred Data", .rect = {240, 120, 7455, 495}, .tabIndex = 6, .font = {"Arial", 24}, .align = Qt::AlignHCenter},
    {.name = "Frame1", .kind = Kind::Frame, .text = "Detail Info.", .rect = {480, 840, 6615, 3255}, .tabIndex = 0, .index = 0},
    {.name = "stockno", .kind = Kind::Label, .text = "Stock #:", .rect = {1920, 600, 615, 195}, .tabIndex = 5, .parent = "Frame1", .index = 0, .align = Qt::AlignRight},
    {.name = "txtStockNo", .kind = Kind::TextBox, .text = "Text1", .rect = {2640, 480, 1695, 375}, .tabIndex = 8, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Transferred Date:", .rect = {1290, 1080, 1245, 195}, .tabIndex = 4, .parent = "Frame1", .index = 2, .align = Qt::AlignRight},
    {.name = "txtTransferredDate", .kind = Kind::TextBox, .text = "Text1", .rect = {2640, 960, 1455, 375}, .tabIndex = 9, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Previous Holder:", .rect = {1365, 1560, 1170, 195}, .tabIndex = 2, .parent = "Frame1", .index = 4, .align = Qt::AlignRight},
    {.name = "txtPreviousHolder", .kind = Kind::TextBox, .text = "Text1", .rect = {2640, 1440, 615, 375}, .tabIndex = 11, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "New Holder:", .rect = {1650, 2040, 885, 195}, .tabIndex = 1, .parent = "Frame1", .index = 5, .align = Qt::AlignRight},
    {.name = "txtNewHolder", .kind = Kind::TextBox, .text = "Text1", .rect = {2640, 1920, 600, 375}, .tabIndex = 12, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Item code:", .rect = {1785, 2520, 750, 195}, .tabIndex = 3, .parent = "Frame1", .index = 3, .align = Qt::AlignRight},
    {.name = "txtItemCode", .kind = Kind::TextBox, .text = "Text1", .rect = {2640, 2400, 495, 375}, .tabIndex = 10, .parent = "Frame1"},
    {.name = "cmdNew", .kind = Kind::Button, .text = "Add", .rect = {7440, 1440, 1215, 495}, .tabIndex = 7},
    {.name = "cmdModify", .kind = Kind::Button, .text = "Modify", .rect = {7440, 2160, 1215, 495}, .tabIndex = 13},
    {.name = "cmdDelete", .kind = Kind::Button, .text = "Delete", .rect = {7440, 2880, 1215, 495}, .tabIndex = 14},
    {.name = "cmdExit", .kind = Kind::Button, .text = "Exit", .rect = {7440, 3600, 1215, 495}, .tabIndex = 15},
};

const Field fields[] = {
    {"txtStockNo",         "stock_no"},
    {"txtTransferredDate", "transferred_date"},
    {"txtPreviousHolder",  "before_holder"},
    {"txtNewHolder",       "new_holder"},
    {"txtItemCode",        "item_code"},
};

const SearchItem searches[] = {
    {"Stock #.",        "stock_no = '",           "'"},
    {"Previous Holder", "before_holder = val('",  "')"},
    {"New Holder",      "new_holder = val('",     "')"},
};

// A closed cycle in row order; the tab order takes the item code third instead.
const ChainLink chain[] = {
    {"txtStockNo",         EnterKey::Character, "txtTransferredDate"},
    {"txtTransferredDate", EnterKey::Character, "txtPreviousHolder"},
    {"txtPreviousHolder",  EnterKey::Character, "txtNewHolder"},
    {"txtNewHolder",       EnterKey::KeyDown,   "txtItemCode"},
    {"txtItemCode",        EnterKey::KeyDown,   "txtStockNo"},
};
// clang-format on

const Description description{
    .name = "frmTrdData",
    .client = {9000, 5580},
    .modality = Qt::NonModal,
    .controls = controls,
    .source = "daoTrdData",
    .table = "transfer_data",
    .sourceRect = {2040, 4440, 5100, 375},
    .fields = fields,
    .labels = {},
    .menuName = "mmuStockData",
    .menuCaption = "StockData",
    .searches = searches,
    .chain = chain,
};

} // namespace

const Description& transfers()
{
    return description;
}

} // namespace records
