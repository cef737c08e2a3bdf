#include "stockdatawindow.h"

#include "description.h"

namespace records {

namespace {

using form::Kind;

// clang-format off
const form::Row controls[] = {
    {.name = "lblShareHolder", .kind = Kind::Label, .text = "Stock Data", .rect = {240, 120, 7455, 495}, .tabIndex = 8, .font = {"Arial", 24}, .align = Qt::AlignHCenter},
    {.name = "Frame1", .kind = Kind::Frame, .text = "Detail Info.", .rect = {480, 840, 6615, 3855}, .tabIndex = 0, .index = 0},
    {.name = "stockno", .kind = Kind::Label, .text = "Stock #:", .rect = {720, 480, 615, 195}, .tabIndex = 7, .parent = "Frame1", .index = 0, .align = Qt::AlignRight},
    {.name = "txtStockNo", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 360, 1695, 375}, .tabIndex = 10, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Type:", .rect = {930, 960, 405, 195}, .tabIndex = 6, .parent = "Frame1", .index = 1, .align = Qt::AlignRight},
    {.name = "txtType", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 840, 375, 375}, .tabIndex = 11, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "(1.Common 2.Special)", .rect = {1920, 960, 1545, 195}, .tabIndex = 13, .parent = "Frame1", .index = 12},
    {.name = "stockholder", .kind = Kind::Label, .text = "Publish Date:", .rect = {390, 1440, 945, 195}, .tabIndex = 5, .parent = "Frame1", .index = 2, .align = Qt::AlignRight},
    {.name = "txtPublishDate", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 1320, 1455, 375}, .tabIndex = 12, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Item code:", .rect = {585, 1920, 750, 195}, .tabIndex = 4, .parent = "Frame1", .index = 3, .align = Qt::AlignRight},
    {.name = "txtItemCode", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 1800, 1455, 375}, .tabIndex = 14, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Original Holder:", .rect = {255, 2400, 1080, 195}, .tabIndex = 3, .parent = "Frame1", .index = 4, .align = Qt::AlignRight},
    {.name = "txtOriginalHolder", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 2280, 615, 375}, .tabIndex = 15, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Present Holder:", .rect = {240, 2880, 1095, 195}, .tabIndex = 2, .parent = "Frame1", .index = 5, .align = Qt::AlignRight},
    {.name = "txtPresentHolder", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 2760, 600, 375}, .tabIndex = 16, .parent = "Frame1"},
    {.name = "stockholder", .kind = Kind::Label, .text = "Stock Qty:", .rect = {585, 3360, 750, 195}, .tabIndex = 1, .parent = "Frame1", .index = 8, .align = Qt::AlignRight},
    {.name = "txtStockQty", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 3240, 1935, 375}, .tabIndex = 17, .parent = "Frame1"},
    {.name = "cmdNew", .kind = Kind::Button, .text = "Add", .rect = {7440, 1440, 1215, 495}, .tabIndex = 9},
    {.name = "cmdModify", .kind = Kind::Button, .text = "Modify", .rect = {7440, 2160, 1215, 495}, .tabIndex = 18},
    {.name = "cmdDelete", .kind = Kind::Button, .text = "Delete", .rect = {7440, 2880, 1215, 495}, .tabIndex = 19},
    {.name = "cmdExit", .kind = Kind::Button, .text = "Exit", .rect = {7440, 3600, 1215, 495}, .tabIndex = 20},
};

const Field fields[] = {
    {"txtStockNo",        "stock_no"},
    {"txtType",           "stock_type"},
    {"txtPublishDate",    "publish_date"},
    {"txtOriginalHolder", "original_holder"},
    {"txtPresentHolder",  "present_holder"},
    {"txtItemCode",       "item_code"},
    {"txtStockQty",       "stock_qty"},
};

const SearchItem searches[] = {
    {"Stock #.",        "stock_no = '",              "'"},
    {"Original Holder", "original_holder = val('",  "')"},
    {"Present Holder",  "present_holder = val('",   "')"},
};

const ChainLink chain[] = {
    {"txtStockNo",        EnterKey::Character, "txtType"},
    {"txtType",           EnterKey::Character, "txtPublishDate"},
    {"txtPublishDate",    EnterKey::Character, "txtItemCode"},
    {"txtItemCode",       EnterKey::KeyDown,   "txtOriginalHolder"},
    {"txtOriginalHolder", EnterKey::Character, "txtPresentHolder"},
    {"txtPresentHolder",  EnterKey::KeyDown,   "txtStockQty"},
    {"txtStockQty",       EnterKey::None},
};
// clang-format on

const Description description{
    .name = "frmStockData",
    .client = {9000, 5580},
    .modality = Qt::ApplicationModal,
    .controls = controls,
    .source = "daoStockData",
    .table = "stock_data",
    .sourceRect = {2040, 4920, 5100, 375},
    .fields = fields,
    .labels = {},
    .menuName = "mmuStockData",
    .menuCaption = "StockData",
    .searches = searches,
    .chain = chain,
};

} // namespace

const Description& stockData()
{
    return description;
}

} // namespace records
