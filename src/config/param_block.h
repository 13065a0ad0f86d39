#pragma once
// The reader's parameter record, free of widgets: the two EEPROM areas, every
// field's place in them, the defaults, the S6700 parity rule, the operating
// mode codes and the numbered parameters.
//
// The dialogs show a record through `ShowValues1`/`ShowValues2` (control
// objectName -> the value its control takes) and build one back through
// `BuildArea1`/`BuildArea2` from the values their controls hold. The same
// field tables drive the comparison with a settings file.
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <cstdint>

namespace kx9 {

// EEPROM parameter area 1, words 1 to 20: word n is bytes 2(n-1) and
// 2(n-1)+1, the first of them first on the wire.
using ParamArea1 = std::array<uint8_t, 40>;
// EEPROM parameter area 2, words 1 to 10 (readers with ROM 1.21 or later).
using ParamArea2 = std::array<uint8_t, 20>;

struct ReaderParamBlock {
    ParamArea1 area1{};
    ParamArea2 area2{};
};

constexpr int kArea1Words = 20;
constexpr int kArea2Words = 10;

// The areas as the reader leaves the factory.
ParamArea1 DefaultParamArea1();
ParamArea2 DefaultParamArea2();

// Bit 0 cleared, bit 7 set when bits 1..6 hold an odd number of ones, so that
// bits 1..7 always hold an even number. Applied to every S6700 control byte
// the tool writes.
uint8_t S6700Parity(uint8_t value);

// Conversions between an area and the bytes of a word range (first word 1).
QByteArray AreaWords(const uint8_t *area, int areaSize, int firstWord, int count);
// Copies `bytes` (two per word) into the area from `firstWord` on; false when
// they do not fit or are not whole words.
bool PutAreaWords(uint8_t *area, int areaSize, int firstWord, const QByteArray &bytes);
template <size_t N> QByteArray AreaWords(const std::array<uint8_t, N> &a, int firstWord, int count)
{
    return AreaWords(a.data(), int(N), firstWord, count);
}
template <size_t N> bool PutAreaWords(std::array<uint8_t, N> &a, int firstWord, const QByteArray &bytes)
{
    return PutAreaWords(a.data(), int(N), firstWord, bytes);
}

// One field as it lies in an area: `bytes` bytes from `byte` on, little-endian,
// then `bits` bits from bit `shift` of that value. `control` is the objectName
// of the dialog control that shows it.
struct ParamField {
    QString control;
    int byte;
    int bytes;
    int shift;
    int bits;
};
// Every field of area 1 and of area 2 that a control shows, in the
// order the comparison walks them. Bits without a field: area 1 byte 4 bits 0
// and 7 (the parity), byte 8 bits 0-1 (from the current operating mode),
// byte 30 bits 3, 4, 5, 7; area 2 byte 0.
const QVector<ParamField> &Area1Fields();
const QVector<ParamField> &Area2Fields();
uint32_t FieldValue(const uint8_t *area, const ParamField &field);
// Stores the low `bits` bits of `value`; every other bit of the area stays.
void SetFieldValue(uint8_t *area, const ParamField &field, uint32_t value);

// Operating-mode codes of byte 9, in the order of the mode list.
struct ModeCodeItem {
    const char *text;
    uint8_t code;
};
const QVector<ModeCodeItem> &ModeCodes();
// List item of a stored code; a code not in the list shows as item 0.
int ModeItemForCode(uint8_t code);
// Code of a list item; no selection (or an item outside the list) gives 0x00.
uint8_t ModeCodeForItem(int item);

// The communication speed list of byte 8 bits 6-7.
QStringList SpeedItems(bool ver121);
// Item shown for a flags byte: 2 when bit 7 is set (bit 6 ignored), else bit 6;
// -1 (nothing selected) when that item is not in the list.
int SpeedItemForFlags(uint8_t flags, bool ver121);
// Bits 6-7 for a list item: item 2 sets bit 7, item 1 sets bit 6, anything else neither.
uint8_t SpeedBitsForItem(int item);

// Control objectName -> value the control holds: number boxes their number,
// radio groups the item index, lists the item index (-1 for none).
using ParamValues = QMap<QString, int>;

// The values the full dialog's controls take for an area.
ParamValues ShowValues1(const ParamArea1 &area, bool ver121);
ParamValues ShowValues2(const ParamArea2 &area);

// Builds area 1 from the controls' values. Every field present in `values`
// is stored (a number box keeps the bits its field has, so a scan mode of 16
// is stored as 0); then byte 4 goes through S6700Parity, byte 8 bits 0-1 come
// from `sysMode`, byte 9 is the code of the mode item. Bits and fields that
// `values` does not name keep their value from `base`: for the full dialog
// that is the area last shown (only byte 30 bits 3, 4, 5, 7 are not covered
// by a control); for the reduced dialog it is the words as read.
ParamArea1 BuildArea1(const ParamValues &values, uint8_t sysMode, const ParamArea1 &base);
// Area 2 from the controls; byte 0 is the remembered value.
ParamArea2 BuildArea2(const ParamValues &values, uint8_t byte0);

// Reduced dialog: byte 8 and byte 9 are not on it, so they are left as `base`
// holds them; so are the scan mode and the unnamed bits of byte 30.
ParamArea1 BuildReducedArea1(const ParamValues &values, const ParamArea1 &base);
// Controls of the reduced dialog.
const QStringList &ReducedControls();

// One compared field of a reader against a settings file.
struct FieldVerdict {
    QString control;
    bool equal;
};
QVector<FieldVerdict> CompareArea1(const ParamArea1 &reader, const ParamArea1 &file);
QVector<FieldVerdict> CompareArea2(const ParamArea2 &reader, const ParamArea2 &file);
bool AllEqual(const QVector<FieldVerdict> &verdicts);

// Numbered one-byte parameters (RXParamData / TxSetParamData).
struct ParamNumberInfo {
    uint8_t number;
    const char *meaning;
    const char *unit;
};
const QVector<ParamNumberInfo> &ParamNumbers();
constexpr uint8_t kParamMemorySwitch3 = 0xAB;   // used by the quick mode switches
constexpr uint8_t kParamTagBlockSize = 0xAC;    // used by the tag memory viewer

} // namespace kx9
