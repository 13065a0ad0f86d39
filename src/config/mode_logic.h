#pragma once
// The byte rules behind the mode dialogs, the single-field editors and the
// switches, free of widgets: the S6700 control byte from the S6700 dialog and
// for a tag family, the operating-mode flags from the mode dialog, the
// success-rate line, the area-2 word editors' data and counts, and the
// EEPROM-2 dialog's fields.
#include "config/param_block.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kx9 {

// ---- S6700 control byte
// "Tag Speed" item shown for a control byte: 0 (ISO15693(1/4)) when bits 1-3
// hold 2, else 1 (ISO15693(1/256)), so any other protocol is offered as 1/256.
int S6700TagSpeedItem(uint8_t conf);
// The byte the S6700 dialog writes: protocol 2 (item 0) or 6 (item 1), bit 4
// the modulation depth, bit 5 FSK/ASK, bit 6 always set, then the parity.
uint8_t S6700FromDialog(int tagSpeedItem, int modulationItem, int amFmItem);

enum class TagFamily {
    TiMydPhilips,   // 100 % modulation, FSK
    Fujitsu,        // 10 % modulation, AM
};
// `current` with ISO15693(1/4), the family's modulation and AM/FSK, high data
// rate and the parity; nothing else of `current` survives but what these set.
uint8_t S6700ForTagFamily(uint8_t current, TagFamily family);

// ---- operating-mode flags
// Bits 0-1 from `passedFlags`, bit 2 anticollision, 3 read mode, 4 buzzer,
// 5 transmit data (each the item index of its radio group; none chosen = 0),
// bits 6-7 from the speed list item.
uint8_t BuildModeFlags(uint8_t passedFlags, int antiCol, int readMode, int buzzer, int txData, int speedItem);

// ---- error rate
// "成功率: " + s / (s + f) as "0.###" (0 when nothing was counted) + "[s, f]".
QString SuccessRateText(uint32_t successes, uint32_t failures);
// The rate alone: at most three decimals, no trailing zeros, at least one integer digit.
QString FormatRate(double rate);

// ---- area-2 word editors
// A start word below 1 is raised to 1; a count outside 1-2 becomes the nearer of them.
int Area2StartWord(int start);
int Area2WordCount(int count);
// The 2 x count bytes of the data value, least significant first.
QByteArray Area2DataBytes(uint32_t data, int count);
// The value of up to four bytes, first byte least significant.
uint32_t Area2DataValue(const QByteArray &bytes);

// ---- EEPROM-2 dialog
// Control objectName -> value for the dialog's fields: the area-2 fields of
// the record, with word 10 split into the check mode, write data, bits 3-7 and
// "MemSwKensa2" (byte 19).
ParamValues Eeprom2Values(const ParamArea2 &area);
// The 20 bytes from the dialog's fields; byte 0 is `byte0` (as read), byte 19
// the low 8 bits of "MemSwKensa2", an antenna box its low nibble.
ParamArea2 BuildEeprom2Area(const ParamValues &values, uint8_t byte0);
// The word-10 controls of the page "検査モード".
const QVector<ParamField> &Eeprom2InspectionFields();

// ---- switches: one bit of one byte of an area-1 word
struct WordBit {
    int word;        // area-1 word, from 1
    bool highByte;   // the word's second byte
    int bit;
};
// The word with that bit set or cleared; the other 15 bits as given.
QByteArray WithBit(const QByteArray &word, const WordBit &where, bool set);

} // namespace kx9
