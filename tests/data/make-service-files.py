# Makes tests/data/service-good and service-broken (run from tests/data).
# Every broken file is a good one with the one fault its name says; where
# the fault is not in them, length and checksum are made right.
import struct, os
def sum8(b): return sum(b[8:]) & 0xffffffff
def fix(b, length=True):
    b = bytearray(b)
    if length: b[4:8] = struct.pack('<I', len(b))
    b[0:4] = struct.pack('<I', sum8(b)); return bytes(b)
data = bytes((i * 37 + 11) & 0xff for i in range(300))
def xfile(kind=0, r1=3, r2=7, ext=b'xmcf', model=b'QM-2300', num=19, ver=0x0105):
    h = bytearray(32)
    h[10:10+len(model)] = model; h[22:26] = ext; h[26] = kind; h[27] = num
    h[28:30] = struct.pack('<H', ver); h[30] = r1; h[31] = r2
    return fix(bytes(h) + data)
def sfile(kind=0, row=4, ext=b'smcf', tag=0x6700):
    h = bytearray(32)
    h[22:26] = ext; h[26] = kind; h[27:29] = struct.pack('<H', tag); h[31] = row
    return fix(bytes(h) + data)
def sbin(L=None, body=data):
    L = len(body) if L is None else L
    b = bytearray(struct.pack('>IIHHH', 0, L, 1000, 7, 26*512+6*32+7)) + body
    b[0:4] = struct.pack('>I', sum(b[4:]) & 0xffffffff); return bytes(b)
def put(folder, name, b): open(os.path.join(folder, name), 'wb').write(b)
G, B = 'service-good', 'service-broken'
put(G, 'flash.xmcf', xfile()); put(G, 'firmware.xmcu', xfile(kind=1, ext=b'xmcu'))
put(G, 'module.smod', sfile(kind=1, ext=b'smod', tag=200)); put(G, 'firmware.sbin', sbin())
put(G, 'empty-data.sbin', sbin(body=b''))
def with_len(b, n):
    b = bytearray(b); b[4:8] = struct.pack('<I', n); return fix(b, length=False)
good_x = xfile(); good_s = sfile()
for stem, good, ext in (('x', good_x, 'xmcf'), ('s', good_s, 'smcf')):
    put(B, f'empty-file.{ext}', b'')
    put(B, f'eight-bytes-only.{ext}', good[:8])
    put(B, f'header-cut-at-31-bytes.{ext}', good[:31])
    put(B, f'length-field-past-the-file.{ext}', with_len(good, len(good) + 100))
    put(B, f'length-field-one-short.{ext}', with_len(good, len(good) - 1))
    put(B, f'length-field-800000.{ext}', with_len(good, 800000))
    put(B, f'length-field-all-ones.{ext}', with_len(good, 0xffffffff))
    c = bytearray(good); c[0] ^= 1; put(B, f'checksum-off-by-one.{ext}', bytes(c))
    c = bytearray(good); c[100] ^= 0x40; put(B, f'data-byte-changed.{ext}', bytes(c))
    c = bytearray(good); c[8] = 1; put(B, f'reserved-byte-changed.{ext}', bytes(c))
put(B, 'first-row-12.xmcf', xfile(r1=12)); put(B, 'second-row-255.xmcu', xfile(r2=255, kind=1, ext=b'xmcu'))
put(B, 'kind-4.xcic', xfile(kind=4, ext=b'xcic'))
put(B, 'row-12.smod', sfile(row=12, kind=1, ext=b'smod')); put(B, 'model-tag-unknown.ssdc', sfile(tag=0x1234, kind=2, ext=b'ssdc'))
put(B, 'kind-3.smcf', sfile(kind=3))
s = sbin()
put(B, 'empty-file.sbin', b''); put(B, 'header-cut-at-13-bytes.sbin', s[:13])
put(B, 'length-field-past-the-file.sbin', sbin(L=len(data) + 1))
put(B, 'length-field-one-short.sbin', sbin(L=len(data) - 1))
put(B, 'length-field-all-ones.sbin', sbin(L=0xffffffff))
put(B, 'data-cut-short.sbin', s[:-1])
put(B, 'longer-than-65536-bytes.sbin', sbin(body=bytes(65536 - 13)))
