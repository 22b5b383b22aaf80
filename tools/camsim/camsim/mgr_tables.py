"""The management-server requests, transcribed from the wire tables.

Each entry: message id, body length, the pending key's camera ('CAM' or a
number), the pending kind (None: no reply awaited), and the fields as
(offset, source). Sources: 'CAM', 'U', 'L', 'T' (32-bit little-endian values),
'M', 'S' (IPv4 addresses, network order), 'P' (the local UDP port, 16 bits in
network order), ('const', n), ('arg', name), ('rec', first, length) (bytes of
the caller's record), 'token' (the 128-byte login block). Camera commands
(20400, 20402) give ('cmd', sub-command, inner length, inner fields, copy).
"""

import struct

CAMERA_COMMAND_COPY_AT = 236

REQUESTS = {
    'bright_ctrl': (20249, 16, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a')), (12, ('arg', 'b'))]),
    'brightness': (20282, 16, 'CAM', 2, [(0, 'CAM'), (4, 'U')]),
    'get_install_state': (20333, 8, 'CAM', 13, [(0, 'CAM'), (4, 'U')]),
    'set_install_state': (20334, 16, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))]),
    'get_lan_type': (20335, 8, 'CAM', 14, [(0, 'CAM'), (4, 'U')]),
    'set_lan_type': (20336, 12, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))]),
    'set_zone_type': (20338, 20, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a')), (12, ('arg', 'b'))]),
    'get_zone_type': (20337, 8, 'CAM', 15, [(0, 'CAM'), (4, 'U')]),
    'get_volume': (20324, 8, 'CAM', 10, [(0, 'CAM'), (4, 'U')]),
    'set_stream_type': (20317, 24, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('const', 2)), (12, ('arg', 'a'))]),
    'upgrade_mode2': (20314, 36, 'CAM', None, [(0, 'CAM'), (4, 'L'), (8, ('const', 2)), (12, ('rec', 0, 16))]),
    'upgrade_mode1': (20314, 36, 'CAM', None, [(0, 'CAM'), (4, 'L'), (8, ('const', 1))]),
    'stop_upgrade': (20342, 12, 'CAM', None, [(0, 'CAM'), (4, 'L')]),
    'get_talk_state': (20275, 24, 'CAM', 5, [(0, 'CAM'), (4, 'U'), (8, ('const', 1))]),
    'set_volume': (20329, 24, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('rec', 0, 16))]),
    'get_motion_dt': (20250, 8, 'CAM', 16, [(0, 'CAM'), (4, 'U')]),
    'set_motion_dt': (20252, 76, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('rec', 0, 68))]),
    'get_wifi': (20326, 8, 'CAM', 11, [(0, 'CAM'), (4, 'U')]),
    'get_tf_info': (20330, 8, 'CAM', 12, [(0, 'CAM'), (4, 'U')]),
    'ptz_get_dev_status': (20344, 20, 'CAM', 17, [(0, 'CAM'), (4, 'U'), (8, ('rec', 0, 12))]),
    'ptz_set_position': (20343, 52, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('rec', 0, 20))]),
    'get_alarm_pic': (20322, 44, 'CAM', 6, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'), (16, ('const', 0)),
                                            (20, ('arg', 'a2')), (24, ('arg', 'a5')), (28, ('arg', 'a6')),
                                            (32, ('const', 1)), (36, ('arg', 'a3')), (40, ('arg', 'a4'))]),
    'heartbeat': (1, 8, 0, None, [(0, 'U')]),
    'search_remote_file': (20226, 68, 'CAM', 3, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'), (16, ('rec', 0, 48)),
                                                 (64, ('rec', 48, 4))]),
    'record_message': (0, 124, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'), (16, ('rec', 0, 108))]),
    'set_alarm_state': (20304, 40, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'), (16, ('arg', 'a')),
                                                 (24, ('rec', 0, 16))]),
    'get_sys_time': (20346, 8, 'CAM', 18, [(0, 'CAM'), (4, 'U')]),
    'get_alarm_state': (20305, 24, 'CAM', 4, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'), (16, ('arg', 'a'))]),
    'get_config': (20352, 12, 'CAM', 19, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))]),
    'set_config': (20348, 124, 'CAM', 20, [(0, 'CAM'), (4, 'U'), (8, ('rec', 0, 116))]),
    'set_tf_info': (20350, 16, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 8))]),
    'set_unit': (20354, 20, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 12))]),
    'talk_ctrl': (20277, 24, 'CAM', None, [(0, 'CAM'), (4, 'U'), (8, ('const', 1)), (12, ('arg', 'a'))]),
    'local_connect': (20364, 20, 'CAM', None, [(0, 'CAM')]),
    'reboot': (20274, 8, 'CAM', None, [(0, 'CAM'), (4, 'U')]),
    'set_ap_password': (20368, 72, 'CAM', 21, [(0, 'CAM'), (4, ('rec', 4, 68))]),
    'get_fw_params': (20357, 12, 'CAM', 33, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))]),
    'get_guard': (20400, None, 'CAM', 22, ('cmd', 20371, 8, [(0, 'CAM'), (4, 'U')], False)),
    'set_guard': (20400, None, 'CAM', 23, ('cmd', 20370, 124, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 116))], True)),
    'cloud_get_sign': (20402, None, 'CAM', 24, ('cmd', 90001, 220, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))], True)),
    'search_remote': (20400, None, 'CAM', None, ('cmd', 20373, 68, [(0, 'CAM'), (4, 'U'), (8, 'L'), (12, 'T'),
                                                                   (16, ('rec', 0, 48)), (64, ('rec', 48, 4))], True)),
    'cloud_get_time': (20402, None, 'CAM', 26, ('cmd', 90004, 220, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))], True)),
    'cloud_get_time_from_camera': (20400, None, 'CAM', 27, ('cmd', 93001, 220, [(0, 'CAM'), (4, 'U')], True)),
    'cloud_set_state': (20400, None, 'CAM', 29, ('cmd', 93003, 220, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))], True)),
    'set_lens_model': (20400, None, 'CAM', None, ('cmd', 20381, 100, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 28))], True)),
    'get_lens_model': (20400, None, 'CAM', 30, ('cmd', 20382, 8, [(0, 'CAM'), (4, 'U')], True)),
    'set_alarm_switch': (20400, None, 'CAM', None, ('cmd', 20375, 152, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 144))], True)),
    'get_alarm_switch': (20400, None, 'CAM', 31, ('cmd', 20376, 8, [(0, 'CAM'), (4, 'U')], True)),
    'set_record_schedule': (20400, None, 'CAM', None, ('cmd', 20378, 84, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 76))], True)),
    'get_record_schedule': (20400, None, 'CAM', 32, ('cmd', 20379, 8, [(0, 'CAM'), (4, 'U')], True)),
    'set_storage_location': (20400, None, 'CAM', None, ('cmd', 94001, 16, [(0, 'CAM'), (4, 'U'), (8, ('rec', 8, 8))], True)),
    'get_storage_location': (20400, None, 'CAM', 34, ('cmd', 94002, 16, [(0, 'CAM'), (4, 'U')], True)),
    'get_track_state': (20400, None, 'CAM', 35, ('cmd', 20391, 8, [(0, 'CAM'), (4, 'U')], True)),
    'set_track_state': (20400, None, 'CAM', None, ('cmd', 20390, 12, [(0, 'CAM'), (4, 'U'), (8, ('arg', 'a'))], True)),
    'sign_in': (20200, 148, 20200, 0, [(0, ('const', 0x00010001)), (4, 'L'), (8, 'U'), (12, ('const', 0)), (16, 'M'),
                                       (20, 'token')]),
    'sign_out': (20201, 144, 0, None, [(0, ('rec', 0, 144))]),
    'online_query': (20202, 16, 'CAM', None, [(0, 'CAM'), (4, 'M'), (8, ('const', 1)), (12, ('const', 10))]),
    'video_address': (20203, 40, 20203, 7, [(0, ('const', 0x00010001)), (4, 'CAM'), (8, ('arg', 'a')), (12, 'U'),
                                            (16, ('const', 0)), (20, 'P'), (24, 'S'), (28, 'P'), (32, 'M'),
                                            (36, ('const', 0))]),
    'camera_disconnect': (20309, 8, 'CAM', None, [(0, 'CAM'), (4, 'U')]),
    'acknowledge': (20321, 8, 0, None, [(0, ('arg', 'a')), (4, ('const', 1))]),
    'upgrade_notice': (20314, 36, 'REC0', None, [(0, ('rec', 0, 8)), (8, ('const', 0)), (12, ('rec', 8, 16)),
                                                 (28, ('rec', 24, 8))]),
}


def _source_bytes(source, values, record):
    if source in ('CAM', 'U', 'L', 'T'):
        return struct.pack('<I', values[source] & 0xFFFFFFFF)
    if source in ('M', 'S'):
        return bytes(values[source])
    if source == 'P':
        return struct.pack('>H', values['P'])
    if source == 'token':
        return bytes(values['token'])
    kind = source[0]
    if kind == 'const':
        return struct.pack('<I', source[1])
    if kind == 'arg':
        return struct.pack('<I', values['args'][source[1]] & 0xFFFFFFFF)
    if kind == 'rec':
        return record[source[1]:source[1] + source[2]]
    raise ValueError(source)


def _fill(length, fields, values, record):
    body = bytearray(length)
    for offset, source in fields:
        data = _source_bytes(source, values, record)
        body[offset:offset + len(data)] = data
    return bytes(body)


def expected(name, values, record):
    """(message id, key camera, kind, body) of the named request."""
    msg_id, length, key, kind, fields = REQUESTS[name]
    if key == 'CAM':
        key = values['CAM']
    elif key == 'REC0':
        key = struct.unpack_from('<I', record, 0)[0]
    if isinstance(fields, tuple):
        _, sub, inner_length, inner_fields, copy = fields
        inner = _fill(inner_length, inner_fields, values, record)
        body = bytearray(CAMERA_COMMAND_COPY_AT + (inner_length if copy else 0))
        body[0:4] = struct.pack('<I', values['CAM'])
        body[4:8] = struct.pack('<I', values['U'])
        body[8:12] = struct.pack('<I', inner_length)
        body[12:16] = struct.pack('<I', sub)
        body[16:16 + inner_length] = inner
        if copy:
            body[CAMERA_COMMAND_COPY_AT:] = inner
        return msg_id, key, kind, bytes(body)
    return msg_id, key, kind, _fill(length, fields, values, record)
