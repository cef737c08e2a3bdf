#include "stockholderwindow.h"

#include "description.h"

namespace records {

namespace {

using form::Kind;

// clang-format off
const form::Row controls[] = {
    {.name = "lblShareHolder", .kind = Kind::Label, .text = "Stockholder Data", .rect = {1080, 120, 7935, 495}, .tabIndex = 12, .font = {"Arial", 24}, .align = Qt::AlignHCenter},
    {.name = "Frame1", .kind = Kind::Frame, .text = "Detail Info.", .rect = {240, 960, 8655, 5295}, .tabIndex = 0, .index = 0},
    {.name = "cmdNew", .kind = Kind::Button, .text = "Add", .rect = {9120, 1440, 1215, 495}, .tabIndex = 15},
    {.name = "cmdModify", .kind = Kind::Button, .text = "Modify", .rect = {9120, 2160, 1215, 495}, .tabIndex = 27},
    {.name = "cmdDelete", .kind = Kind::Button, .text = "Delete", .rect = {9120, 2880, 1215, 495}, .tabIndex = 28},
    {.name = "cmdExit", .kind = Kind::Button, .text = "Exit", .rect = {9120, 3600, 1215, 495}, .tabIndex = 29},
    {.name = "txtStockHolderNo", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 360, 1215, 375}, .tabIndex = 16, .parent = "Frame1"},
    {.name = "txtCharacter", .kind = Kind::TextBox, .text = "Text1", .rect = {5280, 360, 255, 375}, .tabIndex = 17, .parent = "Frame1"},
    {.name = "txtStockHolderName", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 840, 4335, 375}, .tabIndex = 18, .parent = "Frame1"},
    {.name = "txtGender", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 1320, 375, 375}, .tabIndex = 19, .parent = "Frame1"},
    {.name = "txtBirth", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 1800, 1455, 375}, .tabIndex = 21, .parent = "Frame1"},
    {.name = "txtId_no", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 2280, 1935, 375}, .tabIndex = 22, .parent = "Frame1"},
    {.name = "txtAddress1", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 2760, 6600, 375}, .tabIndex = 23, .parent = "Frame1"},
    {.name = "txtAddress2", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 3240, 6600, 375}, .tabIndex = 24, .parent = "Frame1"},
    {.name = "txtTelNo1", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 3720, 1935, 375}, .tabIndex = 25, .parent = "Frame1"},
    {.name = "txtTelNo2", .kind = Kind::TextBox, .text = "Text1", .rect = {1440, 4200, 1935, 375}, .tabIndex = 26, .parent = "Frame1"},
    {.name = "txtTotalShare", .kind = Kind::Label, .rect = {6060, 4200, 1935, 375}, .tabIndex = 1, .parent = "Frame1", .font = {"Microsoft Sans Serif", 9.75}, .align = Qt::AlignRight, .border = true, .fill = QPalette::Midlight},
    {.name = "stockholder", .kind = Kind::Label, .text = "ShareHolder #:", .rect = {255, 480, 1080, 195}, .tabIndex = 11, .parent = "Frame1", .index = 0, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Name:", .rect = {870, 960, 465, 195}, .tabIndex = 10, .parent = "Frame1", .index = 1, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Gender:", .rect = {765, 1440, 570, 195}, .tabIndex = 9, .parent = "Frame1", .index = 2, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Birthday:", .rect = {720, 1920, 615, 195}, .tabIndex = 8, .parent = "Frame1", .index = 3, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "ID No:", .rect = {870, 2400, 465, 195}, .tabIndex = 7, .parent = "Frame1", .index = 4, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Address 1:", .rect = {585, 2880, 750, 195}, .tabIndex = 6, .parent = "Frame1", .index = 5, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "nature/juristic:", .rect = {4200, 480, 1005, 195}, .tabIndex = 2, .parent = "Frame1", .index = 6, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Address 2:", .rect = {585, 3360, 750, 195}, .tabIndex = 5, .parent = "Frame1", .index = 7, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Telphone No. 2:", .rect = {180, 4320, 1155, 195}, .tabIndex = 4, .parent = "Frame1", .index = 8, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "Telphone No. 1:", .rect = {180, 3840, 1155, 195}, .tabIndex = 3, .parent = "Frame1", .index = 9, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "(1.nature person 2.juristic person)", .rect = {5640, 480, 2340, 195}, .tabIndex = 14, .parent = "Frame1", .index = 10},
    {.name = "stockholder", .kind = Kind::Label, .text = "Total Share:", .rect = {5085, 4320, 870, 195}, .tabIndex = 13, .parent = "Frame1", .index = 11, .align = Qt::AlignRight},
    {.name = "stockholder", .kind = Kind::Label, .text = "(0.female 1.male)", .rect = {1920, 1440, 1200, 195}, .tabIndex = 20, .parent = "Frame1", .index = 12},
};

const Field fields[] = {
    {"txtStockHolderNo",   "stockholder_no"},
    {"txtCharacter",       "character"},
    {"txtStockHolderName", "stockholder_name"},
    {"txtGender",          "gender"},
    {"txtBirth",           "birth_date"},
    {"txtId_no",           "id_no"},
    {"txtAddress1",        "address1"},
    {"txtAddress2",        "address2"},
    {"txtTelNo1",          "tel_no1"},
    {"txtTelNo2",          "tel_no2"},
};

// Shown as stored, never written.
const Field labels[] = {
    {"txtTotalShare", "total_share"},
};

const SearchItem searches[] = {
    {"StockHolder #.", "stockholder_no = val('", "')"},
    {"Name",           "stockholder_name = '",   "'"},
    {"ID #.",          "id_no = '",              "'"},
};

// A closed cycle: the last field hands the focus back to the first.
const ChainLink chain[] = {
    {"txtStockHolderNo",   EnterKey::Character, "txtCharacter"},
    {"txtCharacter",       EnterKey::Character, "txtStockHolderName"},
    {"txtStockHolderName", EnterKey::Character, "txtGender"},
    {"txtGender",          EnterKey::Character, "txtBirth"},
    {"txtBirth",           EnterKey::Character, "txtId_no"},
    {"txtId_no",           EnterKey::Character, "txtAddress1"},
    {"txtAddress1",        EnterKey::Character, "txtAddress2"},
    {"txtAddress2",        EnterKey::Character, "txtTelNo1"},
    {"txtTelNo1",          EnterKey::Character, "txtTelNo2"},
    {"txtTelNo2",          EnterKey::Character, "txtStockHolderNo"},
};
// clang-format on

const Description description{
    .name = "frmStockHolder",
    .client = {10515, 7380},
    .modality = Qt::ApplicationModal,
    .controls = controls,
    .source = "daoStockholder",
    .table = "stockholder",
    .sourceRect = {1920, 6600, 5100, 375},
    .fields = fields,
    .labels = labels,
    .menuName = "mmbr",
    .menuCaption = "StockHolder",
    .searches = searches,
    .chain = chain,
};

} // namespace

const Description& stockHolder()
{
    return description;
}

} // namespace records
