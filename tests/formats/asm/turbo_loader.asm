; A loader of our own for a turbo block: about twice the ROM's speed (pilot pulses of 1200
; T-states, sync pulses of 400, bits of two 450 or two 900 T-state pulses). It reads LENGTH bytes
; to DEST and one XOR checksum byte, keeps the outcome at RESULT (1 loaded, 2 bad checksum,
; 3 the tape went quiet) and returns to BASIC. Called by RANDOMIZE USR 40000.

DEST    equ 45000
LENGTH  equ 2048
RESULT  equ 39999

        org 40000

start:  di
        ld ix, DEST
        ld hl, LENGTH
        ld (remaining), hl
        ld bc, 0x7FFE           ; B, C: the ULA port with the SPACE half-row
        in a, (c)
        and 0x40
        ld l, a                 ; L: the EAR level last seen
find:   ld e, 64                ; pilot pulses to see in a row
pilot:  ld h, 0
        call edge
        jr nc, find
        ld a, h
        cp 18
        jr c, find
        cp 40
        jr nc, find
        dec e
        jr nz, pilot
sync:   ld h, 0                 ; pilot until a short pulse
        call edge
        jr nc, find
        ld a, h
        cp 15
        jr nc, sync
        ld h, 0                 ; the second sync pulse
        call edge
        jr nc, find
        ld e, 0                 ; E: the checksum so far
nextbyte:
        call getbyte
        jr nc, quiet
        ld (ix+0), d
        inc ix
        ld a, e
        xor d
        ld e, a
        push hl
        ld hl, (remaining)
        dec hl
        ld (remaining), hl
        ld a, h
        or l
        pop hl
        jr nz, nextbyte
        call getbyte            ; the checksum
        jr nc, quiet
        ld a, e
        cp d
        ld a, 1
        jr z, done
        ld a, 2
        jr done
quiet:  ld a, 3
done:   ld (RESULT), a
        ei
        ret

; Reads eight bits into D, first bit highest. Carry clear when the tape went quiet.
getbyte:
        ld d, 1                 ; a marker bit that comes out at the eighth shift
nextbit:
        ld h, 0                 ; H counts through both pulses of the bit
        call edge
        ret nc
        call edge
        ret nc
        ld a, h
        cp 28                   ; carry for a short bit (0)
        ccf
        rl d
        jr nc, nextbit
        scf
        ret

; Waits for the EAR level to change, counting H up once per 46 T-states. Carry clear when H
; wraps (about 11800 T-states without an edge).
edge:   inc h
        jr z, timeout
        in a, (c)
        and 0x40
        cp l
        jr z, edge
        ld l, a
        scf
        ret
timeout:
        and a
        ret

remaining:
        defw 0
