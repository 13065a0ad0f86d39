-- kx9.lua: Wireshark dissector for the KX9 reader link as kx9monitor
-- captures it (pcapng, link type USER0 = 147, one interface per link kind,
-- direction in the packet flags).
--
-- A packet is one chunk as the link delivered it, so a frame may be split
-- over several packets and one packet may hold several frames. Frames are
-- put together the way the monitor's own receiver does it: an STX starts a
-- frame, LEN fixes where its CR belongs, and bytes outside a frame are
-- skipped until the next STX.
--
--   wireshark -X lua_script:kx9.lua capture.pcapng
--   tshark -X lua_script:kx9.lua -r capture.pcapng -T fields -e kx9.name
--
-- or copy it to ~/.local/lib/wireshark/plugins/ (the package installs it in
-- /usr/share/kx9monitor/wireshark/kx9.lua).

local kx9 = Proto("kx9", "KX9 reader link")

local band, rshift, bor, bxor
if bit32 then
    band, rshift, bor, bxor = bit32.band, bit32.rshift, bit32.bor, bit32.bxor
else
    band, rshift, bor, bxor = bit.band, bit.rshift, bit.bor, bit.bxor
end

---------------------------------------------------------------- tables

local command_names = {
    [0x51] = "QUIT (cancel)", [0x42] = "Buzzer", [0x52] = "Simple read", [0x4A] = "Data write",
    [0x4F] = "Reader query", [0x4E] = "Reader setting", [0x78] = "Tag command",
    [0x75] = "Tag-it command", [0x47] = "Gate command",
}

local kind_names = {
    [0x30] = "ACK", [0x31] = "NACK", [0x44] = "Data report (text)", [0x64] = "UID + data report",
    [0x69] = "UID list report", [0x49] = "UID report", [0x4C] = "Read-loop UID + data report",
    [0x47] = "Gate report",
}
local kind_short = {
    [0x30] = "ACK", [0x31] = "NACK", [0x44] = "Report D", [0x64] = "Report d", [0x69] = "Report i",
    [0x49] = "Report I", [0x4C] = "Report L", [0x47] = "Report G",
}

-- The operations of the command catalogue, named by their transmit-log
-- labels. Where two operations send the same bytes both names are given.
local query_names = {   -- 'O', by DATA[0]
    [0x00] = "DousaModeSet / DousaModeSet(N)", [0x09] = "RX S6700ModeSet / S6700ModeSet(N)",
    [0x50] = "UID_RDWR_CMD", [0x51] = "AFI_RDWR_CMD RX", [0x52] = "POWERDOWN_CMD",
    [0x53] = "GETUIDNUMBER_CMD", [0x54] = "GETUIDDATA_CMD", [0x56] = "CNT_EXT2PORT",
    [0x60] = "ERR_RATE_CMD RX", [0x70] = "EEPROM_RDWR_CMD RX", [0x72] = "EEPROM_RDWR_CMD2 RX",
    [0x80] = "Get ERROR STATUS", [0x90] = "ＲＯＭのバージョン情報", [0x91] = "RAM Read Command",
    [0x93] = "機種名（ModelName）の取得", [0x9C] = "SELANTENA_CMD", [0x9F] = "Port Read Command",
}
local setting_names = { -- 'N', by DATA[0]
    [0x09] = "S6700ModeSet", [0x19] = "S6700ModeSet", [0x50] = "UID_RDWR_CMD",
    [0x51] = "AFI_RDWR_CMD TX", [0x52] = "POWERDOWN_CMD", [0x55] = "SET_LEDCONT",
    [0x56] = "CNT_EXT2PORT", [0x57] = "CNT_LEDBUZ_CMD", [0x60] = "ERR_RATE_CMD TX",
    [0x70] = "EEPROM_RDWR_CMD TX", [0x71] = "EEPROM_INIT_CMD", [0x72] = "EEPROM_RDWR_CMD2 TX",
    [0x92] = "RAM Write Command", [0x9C] = "SELANTENA_CMD", [0x9D] = "RESTART_CMD",
    [0x9E] = "TXON_OFF_CMD", [0x9F] = "Port Write Command",
}
local tag_names = {     -- 'x', by DATA[0]
    [0x00] = "ISO15693_CommCmd", [0x01] = "ISO15693_Inventory", [0x02] = "StayQuiet",
    [0x20] = "ISO15693_ReadSingleBlock", [0x21] = "ISO15693_WriteSingleBlock",
    [0x22] = "ISO15693_LockBlock", [0x23] = "ISO15693_ReadMultiBlock",
    [0x24] = "ISO15693_WriteMultiBlock", [0x25] = "ISO15693_SelectTag",
    [0x26] = "ISO15693_ResetToReady", [0x27] = "ISO15693_WriteAFI", [0x28] = "ISO15693_LockAFI",
    [0x29] = "ISO15693_WrietDSFID", [0x2A] = "ISO15693_LockDSFID", [0x2B] = "ISO15693_GetSystemInfo",
    [0x2C] = "ISO15693_GetMBlockSecSt", [0xA0] = "ISO15693_ReadBytes", [0xA1] = "ISO15693_WriteBytes",
    [0xA2] = "ISO15693_Write2Blocks", [0xA3] = "ISO15693_Lock2Blocks",
    [0xA4] = "TI_InventoryRead", [0xA5] = "TI_InventoryMultiRead", [0xA6] = "TI_InventoryGetSystemInfo",
    [0xA7] = "TI_InventoryGetSecInfo", [0xA8] = "TI_KillCommand", [0xA9] = "TI_WRSIBK_Psw",
    [0xB0] = "Myd_ReadCommand", [0xB1] = "Myd_WriteCommand", [0xB2] = "Myd_WriteByteCommand",
    [0xB3] = "Myd_WriteRereadCommand", [0xB8] = "LRI_ACTIVATEEAS", [0xB9] = "LRI_DEACTIVATEEAS",
    [0xBA] = "LRI_POOLEAS", [0xC0] = "SLI_InventoryRead", [0xC1] = "SLI_FastInventoryRead",
    [0xC2] = "SLI_SetEASCommand", [0xC3] = "SLI_ResetEASCommand", [0xC4] = "SLI_LockEASCommand",
    [0xC5] = "SLI_EASAlarmCommand", [0xC8] = "MB89_EASCommand", [0xC9] = "MB89_WriteEASCommand",
    [0xCA] = "MB89_RefreshCommand", [0xCB] = "MB89_RDMULIBLOCKSCommand",
    [0xF0] = "ISO15693_Inventory2", [0xF1] = "Read Loop Command", [0xF2] = "Read Loop Command",
    [0xF3] = "ISO15693_WriteBytes", [0xF4] = "RDLoopPol Command", [0xF5] = "RDLoopPolGet Command",
}
local tagit_names = {   -- 'u', by DATA[0]
    [0x01] = "TAGIT_GETBLOCK_CMD", [0x03] = "TAGIT_GETVERSION_CMD", [0x05] = "TAGIT_PUTBLOCK_CMD",
    [0x07] = "TAGIT_PUTBLOCKLOCK_CMD", [0x08] = "TAGIT_LOCKBLOCK_CMD", [0x0A] = "TAGIT_SID_POLL_CMD",
    [0x0B] = "TAGIT_QUIET_CMD",
}
local gate_names = {    -- 'G', by DATA[0]
    [0x00] = "G_GetModeCmd", [0x20] = "G_SetModeCmd", [0x01] = "GateGetEEPROMCmd",
    [0x21] = "GateSetEEPROMCmd", [0x02] = "GateGetDispOutStateCmd", [0x22] = "GateSetDispOutStateCmd",
    [0x03] = "GateGetSwSensorCmd", [0x04] = "GateGetIoSensorCmd", [0x05] = "GateGetPersonSensorCmd",
    [0x06] = "GateRmcountmodeCmd", [0x07] = "GateRmcountvaluCmd", [0x08] = "GateGetDispOutStateCmd2",
    [0x0B] = "GateRmcountvaluCmd2", [0x0C] = "GateGetSPKVolumeCmd", [0x23] = "GateWmcountmodeCmd",
    [0x24] = "GateWmcountvaluCmd", [0x25] = "GateWadjusttimeCmd", [0x26] = "GateSetDispOutStateCmd",
    [0x28] = "GateWmcountmodeCmd2", [0x29] = "GateSetSPKVolumeCmd", [0x90] = "ＲＯＭのバージョン情報",
    [0x93] = "機種名（ModelName）の取得", [0x9B] = "GateProgModeComad", [0x9C] = "GateSetBPSSpeedComad",
    [0x9D] = "GateReStartComad", [0x9E] = "GateGetBPSSpeedComad",
}

local nack_texts = {
    [0x01] = "CRCエラー", [0x02] = "CMD_TIME_OVER受信", [0x03] = "タグデータ受信エラー",
    [0x04] = "タグからの応答なし", [0x05] = "ISO 15693 error", [0x41] = "データ数エラー",
    [0x42] = "コマンドのサム値エラー", [0x43] = "コマンドのＩＤ値のエラー", [0x44] = "不正なコマンド",
}
local iso_error_texts = {
    [0x01] = "command not supported", [0x02] = "command not recognised (format error)",
    [0x03] = "option not supported", [0x0F] = "unknown error", [0x10] = "block not available",
    [0x11] = "block already locked", [0x12] = "block locked, content cannot be changed",
    [0x13] = "block not programmed", [0x14] = "block not locked",
}
local iso_commands = {
    [0x01] = "Inventory", [0x02] = "Stay quiet", [0x20] = "Read single block", [0x21] = "Write single block",
    [0x22] = "Lock block", [0x23] = "Read multiple blocks", [0x24] = "Write multiple blocks",
    [0x25] = "Select", [0x26] = "Reset to ready", [0x27] = "Write AFI", [0x28] = "Lock AFI",
    [0x29] = "Write DSFID", [0x2A] = "Lock DSFID", [0x2B] = "Get system information",
    [0x2C] = "Get multiple block security status",
}
local gate_report_names = { [0x80] = "W20 count report", [0x81] = "W30 count report" }

---------------------------------------------------------------- fields

local F = kx9.fields
F.stx = ProtoField.uint8("kx9.stx", "STX", base.HEX)
F.id = ProtoField.uint8("kx9.id", "Reader ID", base.DEC)
F.cmd = ProtoField.uint8("kx9.cmd", "Command", base.HEX, command_names)
F.kind = ProtoField.uint8("kx9.kind", "Reply kind", base.HEX, kind_names)
F.len = ProtoField.uint8("kx9.len", "LEN", base.DEC)
F.data = ProtoField.bytes("kx9.data", "DATA")
F.etx = ProtoField.uint8("kx9.etx", "ETX", base.HEX)
F.sum = ProtoField.uint8("kx9.sum", "SUM", base.HEX)
F.sum_status = ProtoField.string("kx9.sum.status", "SUM status")
F.cr = ProtoField.uint8("kx9.cr", "CR", base.HEX)
F.name = ProtoField.string("kx9.name", "Operation")
F.sub = ProtoField.uint8("kx9.sub", "Sub-command / tag command", base.HEX)
F.reply_to = ProtoField.framenum("kx9.reply_to", "Reply to the request in")
F.reply_to_name = ProtoField.string("kx9.reply_to.name", "Reply to operation")
F.nack = ProtoField.uint8("kx9.nack.code", "NACK code", base.HEX, nack_texts)
F.nack_iso = ProtoField.uint8("kx9.nack.iso_error", "ISO 15693 error code", base.HEX, iso_error_texts)
F.dsfid = ProtoField.uint8("kx9.dsfid", "DSFID", base.HEX)
F.uid = ProtoField.bytes("kx9.uid", "UID (wire order)")
F.uid_text = ProtoField.string("kx9.uid.text", "UID")
F.uid_count = ProtoField.uint8("kx9.uid.count", "Number of UIDs", base.DEC)
F.block = ProtoField.uint8("kx9.block", "Block number", base.DEC)
F.rflags = ProtoField.uint8("kx9.request_flags", "Request flags (F)", base.HEX)
F.tagdata = ProtoField.bytes("kx9.tag_data", "Tag data")
F.text = ProtoField.string("kx9.text", "Text")
F.gate_sub = ProtoField.uint8("kx9.gate.kind", "Gate report kind", base.HEX, gate_report_names)
F.frame_bytes = ProtoField.bytes("kx9.frame", "Frame")
F.part = ProtoField.bytes("kx9.part", "Part of a frame")
F.part_of = ProtoField.framenum("kx9.part.completed_in", "Frame completed in")
F.first = ProtoField.framenum("kx9.reassembled.first", "Frame started in")
F.skipped = ProtoField.bytes("kx9.skipped", "Bytes outside a frame")
-- the ISO 15693 request inside the transparent command
F.t_kind = ProtoField.uint8("kx9.transparent.kind", "Transparent reply kind", base.HEX)
F.t_rlen = ProtoField.uint8("kx9.transparent.reply_length", "Transparent reply length", base.DEC)
F.iso_flags = ProtoField.uint8("kx9.iso.flags", "ISO 15693 flags", base.HEX)
F.iso_f_sub = ProtoField.bool("kx9.iso.flags.subcarrier", "Two subcarriers", 8, nil, 0x01)
F.iso_f_rate = ProtoField.bool("kx9.iso.flags.data_rate", "High data rate", 8, nil, 0x02)
F.iso_f_inv = ProtoField.bool("kx9.iso.flags.inventory", "Inventory", 8, nil, 0x04)
F.iso_f_ext = ProtoField.bool("kx9.iso.flags.protocol_ext", "Protocol extension", 8, nil, 0x08)
F.iso_f_sel = ProtoField.bool("kx9.iso.flags.select", "Select (or AFI in an inventory)", 8, nil, 0x10)
F.iso_f_addr = ProtoField.bool("kx9.iso.flags.address", "Address (or one slot in an inventory)", 8, nil, 0x20)
F.iso_f_opt = ProtoField.bool("kx9.iso.flags.option", "Option", 8, nil, 0x40)
F.iso_cmd = ProtoField.uint8("kx9.iso.cmd", "ISO 15693 command", base.HEX, iso_commands)
F.iso_mfr = ProtoField.uint8("kx9.iso.ic_mfg", "IC manufacturer code", base.HEX)
F.iso_uid = ProtoField.bytes("kx9.iso.uid", "ISO 15693 UID (wire order)")
F.iso_afi = ProtoField.uint8("kx9.iso.afi", "AFI", base.HEX)
F.iso_mask_len = ProtoField.uint8("kx9.iso.mask_length", "Mask length (bits)", base.DEC)
F.iso_mask = ProtoField.bytes("kx9.iso.mask", "Mask value")
F.iso_params = ProtoField.bytes("kx9.iso.params", "Parameters")
F.iso_crc = ProtoField.uint16("kx9.iso.crc", "ISO 15693 CRC", base.HEX)
F.iso_crc_status = ProtoField.string("kx9.iso.crc.status", "ISO 15693 CRC status")
F.iso_rflags = ProtoField.uint8("kx9.iso.response_flags", "ISO 15693 response flags", base.HEX)
F.iso_rerror = ProtoField.uint8("kx9.iso.error", "ISO 15693 error code", base.HEX, iso_error_texts)
F.iso_rdata = ProtoField.bytes("kx9.iso.response_data", "Response data")

local E = {
    bad_sum = ProtoExpert.new("kx9.sum.bad", "bad SUM", expert.group.CHECKSUM, expert.severity.ERROR),
    bad_etx = ProtoExpert.new("kx9.etx.bad", "no ETX before SUM", expert.group.MALFORMED, expert.severity.ERROR),
    no_cr = ProtoExpert.new("kx9.cr.missing", "no CR where LEN puts the end of the frame",
                            expert.group.MALFORMED, expert.severity.ERROR),
    bad_kind = ProtoExpert.new("kx9.kind.unknown", "unknown reply kind", expert.group.PROTOCOL,
                               expert.severity.WARN),
    nack = ProtoExpert.new("kx9.nack.expert", "NACK", expert.group.RESPONSE_CODE, expert.severity.NOTE),
    short = ProtoExpert.new("kx9.data.short", "DATA too short for this field", expert.group.MALFORMED,
                            expert.severity.WARN),
    bad_crc = ProtoExpert.new("kx9.iso.crc.bad", "bad ISO 15693 CRC", expert.group.CHECKSUM,
                              expert.severity.ERROR),
    dropped = ProtoExpert.new("kx9.partial.dropped", "unfinished frame dropped (link idle for 10 s)",
                              expert.group.SEQUENCE, expert.severity.WARN),
}
kx9.experts = { E.bad_sum, E.bad_etx, E.no_cr, E.bad_kind, E.nack, E.short, E.bad_crc, E.dropped }

local f_direction = Field.new("frame.packet_flags_direction")
local f_interface = Field.new("frame.interface_id")

---------------------------------------------------------------- helpers

local function hex(s)
    return (s:gsub(".", function(c) return string.format("%02X", c:byte()) end))
end

-- UID as the monitor shows it: last received byte first.
local function uid_text(s)
    local out = {}
    for i = #s, 1, -1 do out[#out + 1] = string.format("%02X", s:byte(i)) end
    return table.concat(out, " ")
end

local crc_table = {}
for i = 0, 255 do
    local c = i
    for _ = 1, 8 do
        if band(c, 1) ~= 0 then c = bxor(rshift(c, 1), 0x8408) else c = rshift(c, 1) end
    end
    crc_table[i] = c
end

-- CRC of ISO/IEC 13239 as ISO/IEC 15693 uses it: start 0xFFFF, reflected
-- polynomial 0x8408, result complemented.
local function iso_crc(s)
    local crc = 0xFFFF
    for i = 1, #s do
        crc = bxor(crc_table[band(bxor(crc, s:byte(i)), 0xFF)], rshift(crc, 8))
    end
    return bxor(crc, 0xFFFF)
end

local function request_name(cmd, data)
    local sub = data:byte(1)
    if cmd == 0x51 then return "QUIT_command" end
    if cmd == 0x42 then return "Buzzer Command" end
    if cmd == 0x52 then return "Simple Read Command" end
    if cmd == 0x4A then return "DousaModeSet" end
    if sub == nil then return command_names[cmd] or string.format("command 0x%02X", cmd) end
    if cmd == 0x4F then return query_names[sub] or "RXParamData / ??? command(N)" end
    if cmd == 0x4E then
        if (sub == 0x00 or sub == 0x10) and #data >= 7 then
            if #data > 7 and data:byte(2) == 0x23 then return "PolWrite" end
            return "DousaModeSet"
        end
        return setting_names[sub] or "TxSetParamData"
    end
    if cmd == 0x78 then return tag_names[sub] or "ISO15693_CommCmd" end
    if cmd == 0x75 then return tagit_names[sub] or "Tag-it command" end
    if cmd == 0x47 then return gate_names[sub] or "GateCommCmd" end
    return string.format("command 0x%02X", cmd)
end

---------------------------------------------------------------- reassembly
-- State of the first pass, rebuilt whenever a file is (re)read.

local streams, results, context

function kx9.init()
    streams = {}   -- per interface and direction: the frame being put together
    results = {}   -- per packet number: what the first pass found in it
    context = {}   -- per interface: the last request sent (the reply's context)
end

local IDLE_DROP_S = 10.0

-- Cuts a packet's bytes into pieces: skipped bytes, frames that complete
-- here (with the packet they started in) and the start of an unfinished one.
local function assemble(key, pktno, time, s)
    local st = streams[key]
    if not st then
        st = { inframe = false }
        streams[key] = st
    end
    local items = {}
    if st.inframe and st.last_time and time - st.last_time > IDLE_DROP_S then
        -- The monitor's receiver gives a frame up after 10 s without bytes.
        items[#items + 1] = { what = "dropped", first = st.first }
        st.inframe = false
    end
    st.last_time = time
    local pos, n = 1, #s
    while pos <= n do
        if not st.inframe then
            local j = s:find("\2", pos, true)
            if not j then
                items[#items + 1] = { what = "skip", offset = pos - 1, length = n - pos + 1 }
                break
            end
            if j > pos then
                items[#items + 1] = { what = "skip", offset = pos - 1, length = j - pos }
            end
            st.inframe, st.parts, st.count, st.total = true, { "\2" }, 1, 7
            st.first, st.here = pktno, j - 1
            pos = j + 1
        elseif st.count == 3 then
            local c = s:byte(pos)
            st.parts[#st.parts + 1] = string.char(c)
            st.count, st.total = 4, c + 7
            pos = pos + 1
        else
            local target = st.count < 3 and 3 or st.total
            local take = math.min(target - st.count, n - pos + 1)
            st.parts[#st.parts + 1] = s:sub(pos, pos + take - 1)
            st.count = st.count + take
            pos = pos + take
            if st.count >= 4 and st.count == st.total then
                items[#items + 1] = {
                    what = "frame", bytes = table.concat(st.parts), first = st.first,
                    offset = st.first == pktno and st.here or 0, here_end = pos - 1,
                }
                st.inframe = false
            end
        end
    end
    if st.inframe then
        local start = st.first == pktno and st.here or 0
        items[#items + 1] = { what = "partial", offset = start, length = n - start, first = st.first }
    end
    return items, st
end

---------------------------------------------------------------- frame decoding

local function add_uid(tree, tvb, off, size)
    local r = tvb(off, size)
    tree:add(F.uid, r)
    tree:add(F.uid_text, r, uid_text(r:raw()))
end

local function dissect_iso_request(tvb, off, tree, pinfo)
    -- off: first byte of the ISO request (its flags); the request ends with the CRC.
    local total = tvb:len() - off
    if total < 4 then
        tree:add_proto_expert_info(E.short, "ISO 15693 request too short")
        return nil
    end
    local req = tvb(off, total)
    local iso = tree:add(kx9, req, "ISO 15693 request")
    local flags = tvb(off, 1):uint()
    local ft = iso:add(F.iso_flags, tvb(off, 1))
    ft:add(F.iso_f_sub, tvb(off, 1)); ft:add(F.iso_f_rate, tvb(off, 1)); ft:add(F.iso_f_inv, tvb(off, 1))
    ft:add(F.iso_f_ext, tvb(off, 1)); ft:add(F.iso_f_sel, tvb(off, 1)); ft:add(F.iso_f_addr, tvb(off, 1))
    ft:add(F.iso_f_opt, tvb(off, 1))
    local cmd = tvb(off + 1, 1):uint()
    iso:add(F.iso_cmd, tvb(off + 1, 1))
    local p, last = off + 2, off + total - 2   -- last: the CRC's offset
    if band(flags, 0x04) ~= 0 and cmd == 0x01 then
        if band(flags, 0x10) ~= 0 and p < last then iso:add(F.iso_afi, tvb(p, 1)); p = p + 1 end
        if p < last then
            local bits = tvb(p, 1):uint()
            iso:add(F.iso_mask_len, tvb(p, 1)); p = p + 1
            local mlen = math.min(math.floor((bits + 7) / 8), last - p)
            if mlen > 0 then iso:add(F.iso_mask, tvb(p, mlen)); p = p + mlen end
        end
    else
        if cmd >= 0xA0 and p < last then iso:add(F.iso_mfr, tvb(p, 1)); p = p + 1 end
        if band(flags, 0x20) ~= 0 or cmd == 0x02 then
            if last - p >= 8 then
                iso:add(F.iso_uid, tvb(p, 8)); iso:add(F.uid_text, tvb(p, 8), uid_text(tvb(p, 8):raw()))
                p = p + 8
            else
                iso:add_proto_expert_info(E.short, "address flag set but no 8-byte UID")
            end
        end
    end
    if last > p then iso:add(F.iso_params, tvb(p, last - p)) end
    local want = iso_crc(tvb(off, total - 2):raw())
    local got = tvb(last, 2):le_uint()
    local ci = iso:add_le(F.iso_crc, tvb(last, 2))
    if got == want then
        iso:add(F.iso_crc_status, tvb(last, 2), "Good"):set_generated()
    else
        iso:add(F.iso_crc_status, tvb(last, 2), "Bad"):set_generated()
        ci:add_proto_expert_info(E.bad_crc, string.format("bad ISO 15693 CRC: 0x%04X, expected 0x%04X", got, want))
    end
    iso:append_text(": " .. (iso_commands[cmd] or string.format("command 0x%02X", cmd)))
    return iso_commands[cmd] or string.format("0x%02X", cmd), got == want
end

local function dissect_iso_response(tvb, off, tree)
    local total = tvb:len() - off
    if total < 3 then return end
    local r = tree:add(kx9, tvb(off, total), "ISO 15693 response")
    local flags = tvb(off, 1):uint()
    r:add(F.iso_rflags, tvb(off, 1))
    local p, last = off + 1, off + total - 2
    if band(flags, 0x01) ~= 0 and p < last then r:add(F.iso_rerror, tvb(p, 1)); p = p + 1 end
    if last > p then r:add(F.iso_rdata, tvb(p, last - p)) end
    local want = iso_crc(tvb(off, total - 2):raw())
    local got = tvb(last, 2):le_uint()
    local ci = r:add_le(F.iso_crc, tvb(last, 2))
    r:add(F.iso_crc_status, tvb(last, 2), got == want and "Good" or "Bad"):set_generated()
    if got ~= want then
        ci:add_proto_expert_info(E.bad_crc, string.format("bad ISO 15693 CRC: 0x%04X, expected 0x%04X", got, want))
    end
end

-- The request part of DATA: the sub-command, and what is worth naming.
local function dissect_request_data(tvb, dlen, cmd, tree, pinfo)
    if dlen < 1 then return "" end
    local sub = tvb(4, 1):uint()
    if cmd == 0x4F or cmd == 0x4E or cmd == 0x78 or cmd == 0x75 or cmd == 0x47 then
        tree:add(F.sub, tvb(4, 1))
    end
    if cmd == 0x78 and sub == 0x00 and dlen >= 3 then
        tree:add(F.t_kind, tvb(5, 1)); tree:add(F.t_rlen, tvb(6, 1))
        if dlen > 3 then
            local name, ok = dissect_iso_request(tvb(0, 4 + dlen):tvb(), 7, tree, pinfo)
            if name then return " [" .. name .. (ok and "" or ", bad CRC") .. "]" end
        end
    elseif cmd == 0x78 and (sub == 0x20 or sub == 0x22 or sub == 0xA0 or sub == 0xB0) and dlen >= 3 then
        tree:add(F.block, tvb(5, 1))
    end
    return ""
end

-- The reply part of DATA, read as the monitor's decoders read it.
local function dissect_reply_data(tvb, dlen, kind, tree, req)
    local d = 4
    if kind == 0x31 then
        if dlen < 1 then tree:add_proto_expert_info(E.short, "NACK without a code"); return "" end
        local code = tvb(d, 1):uint()
        local item = tree:add(F.nack, tvb(d, 1))
        local text = nack_texts[code] or "??? NACK受信"
        if code == 0x05 and dlen >= 2 then
            tree:add(F.nack_iso, tvb(d + 1, 1))
            text = iso_error_texts[tvb(d + 1, 1):uint()] or "custom error code"
        end
        item:add_proto_expert_info(E.nack, "NACK " .. string.format("%02X", code) .. ": " .. text)
        return string.format(" %02X %s", code, text)
    elseif kind == 0x30 then
        if dlen < 1 then return "" end
        local sub = tvb(d, 1):uint()
        local rcmd = req and req.cmd
        if rcmd == 0x78 and sub == 0x00 and dlen > 3 then
            dissect_iso_response(tvb(0, 4 + dlen):tvb(), d + 1, tree)
        elseif rcmd == 0x78 and sub == 0x01 and dlen >= 10 then
            tree:add(F.dsfid, tvb(d + 1, 1)); add_uid(tree, tvb, d + 2, 8)
        elseif rcmd == 0x78 and (sub == 0x20 or sub == 0x23 or sub == 0xA0) and dlen > 1 then
            tree:add(F.tagdata, tvb(d + 1, dlen - 1))
        elseif (rcmd == 0x4F) and (sub == 0x90 or sub == 0x93) and dlen > 1 then
            tree:add(F.text, tvb(d + 1, dlen - 1), (tvb(d + 1, dlen - 1):raw():gsub("%z", "")))
        elseif rcmd == 0x4F and (sub == 0x50) and dlen >= 9 then
            add_uid(tree, tvb, d + 1, 8)
        end
        return ""
    elseif kind == 0x49 then
        if dlen < 9 then tree:add_proto_expert_info(E.short, "UID report shorter than 9 bytes"); return "" end
        tree:add(F.dsfid, tvb(d, 1)); add_uid(tree, tvb, d + 1, 8)
        return " " .. uid_text(tvb(d + 1, 8):raw())
    elseif kind == 0x64 or kind == 0x4C then
        -- A Tag-it 'd' carries a 4-byte SID; the capture cannot tell, so 8 is assumed.
        if dlen < 8 then tree:add_proto_expert_info(E.short, "report shorter than its UID"); return "" end
        add_uid(tree, tvb, d, 8)
        if dlen > 8 then tree:add(F.tagdata, tvb(d + 8, dlen - 8)) end
        return " " .. uid_text(tvb(d, 8):raw())
    elseif kind == 0x69 then
        if dlen < 1 then return "" end
        tree:add(F.uid_count, tvb(d, 1))
        local k, at = tvb(d, 1):uint(), 3
        for _ = 1, k do
            if at + 8 > dlen then break end
            add_uid(tree, tvb, d + at, 8)
            at = at + 8
        end
        return string.format(" %d UIDs", k)
    elseif kind == 0x44 then
        if dlen > 0 then tree:add(F.text, tvb(d, dlen), (tvb(d, dlen):raw():gsub("%z", ""))) end
        return ""
    elseif kind == 0x47 then
        if dlen > 0 then tree:add(F.gate_sub, tvb(d, 1)) end
        return ""
    end
    return ""
end

local function dissect_frame(tvb, pinfo, tree, item, dir)
    local len = tvb(3, 1):uint()
    local total = len + 7
    local ft = tree:add(kx9, tvb(0, total), "KX9 frame")
    ft:add(F.stx, tvb(0, 1))
    ft:add(F.id, tvb(1, 1))
    local code = tvb(2, 1):uint()
    local data = tvb(4, len):raw()
    local summary
    if dir == "sent" then
        ft:add(F.cmd, tvb(2, 1))
        local name = request_name(code, data)
        ft:add(F.name, tvb(2, 1), name):set_generated()
        ft:add(F.len, tvb(3, 1))
        if len > 0 then ft:add(F.data, tvb(4, len)) end
        summary = name .. dissect_request_data(tvb, len, code, ft, pinfo)
    else
        local ki = ft:add(F.kind, tvb(2, 1))
        ft:add(F.len, tvb(3, 1))
        if len > 0 then ft:add(F.data, tvb(4, len)) end
        local short = kind_short[code]
        if not short then
            ki:add_proto_expert_info(E.bad_kind)
            short = string.format("kind 0x%02X", code)
        end
        local req = item.request
        if (code == 0x30 or code == 0x31) and req then
            ft:add(F.reply_to, tvb(2, 1), req.pkt):set_generated()
            ft:add(F.reply_to_name, tvb(2, 1), req.name):set_generated()
            ft:add(F.name, tvb(2, 1), short .. " " .. req.name):set_generated()
            summary = short .. " " .. req.name
        else
            ft:add(F.name, tvb(2, 1), short):set_generated()
            summary = short
        end
        summary = summary .. dissect_reply_data(tvb, len, code, ft, req)
    end
    local etx = ft:add(F.etx, tvb(4 + len, 1))
    local want = 0
    for i = 0, len + 4 do want = want + tvb(i, 1):uint() end
    want = band(want, 0xFF)
    local sumitem = ft:add(F.sum, tvb(5 + len, 1))
    local good = tvb(5 + len, 1):uint() == want
    if good then
        ft:add(F.sum_status, tvb(5 + len, 1), "Good"):set_generated()
    else
        ft:add(F.sum_status, tvb(5 + len, 1), "Bad"):set_generated()
        sumitem:add_proto_expert_info(E.bad_sum, string.format("bad SUM: 0x%02X, expected 0x%02X",
                                                                tvb(5 + len, 1):uint(), want))
        summary = summary .. " [bad SUM]"
    end
    if tvb(4 + len, 1):uint() ~= 0x03 then
        etx:add_proto_expert_info(E.bad_etx)
        summary = summary .. " [no ETX]"
    end
    local cr = ft:add(F.cr, tvb(6 + len, 1))
    if tvb(6 + len, 1):uint() ~= 0x0D then
        cr:add_proto_expert_info(E.no_cr)
        summary = summary .. " [no CR]"
    end
    ft:append_text(": " .. summary)
    return summary
end

---------------------------------------------------------------- the dissector

function kx9.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "KX9"
    local dfield = f_direction()
    local dirv = dfield and dfield.value or 0
    local dir = dirv == 2 and "sent" or "received"
    local ifid = f_interface() and f_interface().value or 0
    local key = ifid .. ":" .. dir

    local items = results[pinfo.number]
    if not items then
        local st
        items, st = assemble(key, pinfo.number, pinfo.abs_ts, tvb:raw())
        for _, it in ipairs(items) do
            if it.what == "dropped" then
                st.done_parts = nil
            elseif it.what == "frame" then
                -- A frame in parts: each part learns where it was completed.
                for _, p in ipairs(st.done_parts or {}) do p.completed_in = pinfo.number end
                st.done_parts = nil
                local data = it.bytes:sub(5, 4 + it.bytes:byte(4))
                if dir == "sent" then
                    context[ifid] = { cmd = it.bytes:byte(3), name = request_name(it.bytes:byte(3), data),
                                      pkt = pinfo.number }
                else
                    it.request = context[ifid]
                end
            end
        end
        -- Parts of the unfinished frame are told where it ends once it does.
        for _, it in ipairs(items) do
            if it.what == "partial" then
                st.done_parts = st.done_parts or {}
                st.done_parts[#st.done_parts + 1] = it
            end
        end
        results[pinfo.number] = items
    end

    local root = tree:add(kx9, tvb(), "KX9 reader link, " .. (dir == "sent" and "monitor to reader" or "reader to monitor"))
    local info = {}
    for _, it in ipairs(items) do
        if it.what == "skip" then
            root:add(F.skipped, tvb(it.offset, it.length))
        elseif it.what == "dropped" then
            root:add_proto_expert_info(E.dropped)
            info[#info + 1] = "[unfinished frame dropped]"
        elseif it.what == "partial" then
            local pi = root:add(F.part, tvb(it.offset, it.length))
            if it.completed_in then root:add(F.part_of, tvb(it.offset, it.length), it.completed_in):set_generated() end
            info[#info + 1] = "[part of a frame]"
        elseif it.what == "frame" then
            local ftvb
            if it.first == pinfo.number then
                ftvb = tvb(it.offset, #it.bytes):tvb()
            else
                root:add(F.part, tvb(0, it.here_end))
                ftvb = ByteArray.new(hex(it.bytes)):tvb("KX9 frame")
                root:add(F.first, tvb(0, it.here_end), it.first):set_generated()
            end
            info[#info + 1] = dissect_frame(ftvb, pinfo, root, it, dir)
        end
    end
    pinfo.cols.info = (dir == "sent" and "TX " or "RX ") .. table.concat(info, ", ")
end

local encap = DissectorTable.get("wtap_encap")
encap:add(wtap_encaps and wtap_encaps.USER0 or wtap.USER0, kx9)
