; Bouncing balls (128K): three balls bounce under gravity, drawn into the hidden one of the two
; screens (bank 5 at 4000h, bank 7 paged in at 0C000h) while the other is shown, then shown by
; flipping bit 3 of port 7FFDh at the top of the next frame, so they never flicker. The AY plays
; a tune on channels A and B; every bounce strikes a noise drum on channel C with the envelope.

        INCLUDE "zx_hardware.inc"

SIZE            EQU 24          ; the ball's height and width in pixels
SPRITE_BYTES    EQU 4           ; bytes a line once shifted
BALL_COUNT      EQU 3
FLOOR           EQU (176 - SIZE) * 16   ; y in 1/16 pixels of a ball resting on the floor
MAX_X           EQU 256 - 8*SPRITE_BYTES
GRAVITY         EQU 4           ; 1/16 pixel per frame per frame
FRAMES_PER_ROW  EQU 7

; A ball's record, 16 bytes.
BALL_X          EQU 0           ; pixels
BALL_DX         EQU 1
BALL_Y          EQU 2           ; 1/16 pixels, 2 bytes
BALL_VY         EQU 4           ; 1/16 pixels a frame, 2 bytes
BALL_KICK       EQU 6           ; the speed the floor gives it back, 2 bytes
BALL_OLD        EQU 8           ; x and line where it is drawn on screen 5, then on screen 7
BALL_NOISE      EQU 12          ; the pitch of its drum

; Both screens start as the same picture: bank 5 at 4000h, and bank 7, paged in at 0C000h
; when the snapshot is taken.
        ORG SCREEN
        INCBIN "balls_screen.scr"
        ORG 0C000h
        INCBIN "balls_screen.scr"

        ORG 8000h
start:  TAKE_OVER
        ld a,7                  ; bank 7 at 0C000h, screen 5 shown
        ld bc,PAGING
        out (c),a
        ; The AY: the mixer (tones A and B, noise C) and the fixed volumes.
        ld a,AY_MIXER
        ld e,1Ch
        call ay
        ld a,AY_VOLUME_A
        ld e,0
        call ay
        ld a,AY_VOLUME_B
        ld e,11
        call ay
        ld a,AY_VOLUME_C
        ld e,10h                ; the drum follows the envelope
        call ay
        ld a,AY_ENVELOPE
        ld e,0
        call ay
        ld a,AY_ENVELOPE+1
        ld e,6
        call ay
        ld hl,song
        ld (row),hl
        ld a,1
        ld (timer),a
        xor a
        out (ULA),a
        ei

main:   halt
        ; Show what was drawn last frame; draw into the other screen.
        ld a,(shown)
        xor SHADOW_SCREEN
        ld (shown),a
        or 7
        ld bc,PAGING
        out (c),a
        and SHADOW_SCREEN
        ld a,80h                ; screen 7 shown: draw at 4000h (offset 0); else at 0C000h
        ld c,BALL_OLD+2
        jr z,hidden_set
        xor a
        ld c,BALL_OLD
hidden_set:
        ld (hidden),a
        ld a,c
        ld (slot),a
        call music
        ld ix,balls
        ld b,BALL_COUNT
erase_next:
        push bc
        call old_place
        call erase
        ld de,16
        add ix,de
        pop bc
        djnz erase_next
        ld ix,balls
        ld b,BALL_COUNT
move_next:
        push bc
        call move
        ld a,c
        ld (line),a
        call old_place          ; HL: this screen's record of where the ball is drawn
        ld a,(ix+BALL_X)
        ld (hl),a
        inc hl
        ld a,(line)
        ld (hl),a
        ld c,a
        ld a,(ix+BALL_X)
        call draw
        ld de,16
        add ix,de
        pop bc
        djnz move_next
        jp main

; HL = where this screen's old place of ball IX is kept; A = its x and C = its line.
old_place:
        ld a,(slot)
        ld e,a
        ld d,0
        push ix
        pop hl
        add hl,de
        ld a,(hl)
        inc hl
        ld c,(hl)
        dec hl
        ret

; One frame of ball IX: sideways between the walls, down under gravity, up off the floor.
; Returns A = x and C = the line of its top.
move:   ld a,(ix+BALL_X)
        ld c,(ix+BALL_DX)
        add a,c
        cp MAX_X+1              ; keeps the shifted sprite on screen; below 0 wraps above
        jr c,x_ok
        ld a,c
        neg
        ld (ix+BALL_DX),a
        ld c,a
        ld a,(ix+BALL_X)
        add a,c
x_ok:   ld (ix+BALL_X),a
        ld l,(ix+BALL_VY)
        ld h,(ix+BALL_VY+1)
        ld de,GRAVITY
        add hl,de
        ld (ix+BALL_VY),l
        ld (ix+BALL_VY+1),h
        ld e,(ix+BALL_Y)
        ld d,(ix+BALL_Y+1)
        add hl,de
        ld de,FLOOR
        or a
        sbc hl,de
        jr c,in_air
        ld h,d                  ; on the floor: kicked up again
        ld l,e
        ld a,(ix+BALL_KICK)
        ld (ix+BALL_VY),a
        ld a,(ix+BALL_KICK+1)
        ld (ix+BALL_VY+1),a
        push hl
        call drum
        pop hl
        jr y_ok
in_air: add hl,de
y_ok:   ld (ix+BALL_Y),l
        ld (ix+BALL_Y+1),h
        REPT 4                  ; 1/16 pixels to pixels
        srl h
        rr l
        ENDM
        ld c,l
        ld a,(ix+BALL_X)
        ret

; Sets up a sprite run for x = A, line = C: (column) = x / 8, IX at the line's entry in the
; line table (callers keep their own IX on the stack), B = the lines, C = the hidden screen's
; address offset, A = the pixel shift x AND 7.
locate: ld b,a
        rrca
        rrca
        rrca
        and 31
        ld (column),a
        ld l,c
        ld h,0
        add hl,hl
        ld de,lines
        add hl,de
        push hl
        pop ix
        ld a,(hidden)
        ld c,a
        ld a,b
        and 7
        ld b,SIZE
        ret

; DE = the screen address of the line at IX in the hidden screen, at (column); IX moves on.
line_address:
        ld a,(column)
        ld e,(ix+0)
        add a,e
        ld e,a
        ld a,(ix+1)
        or c
        ld d,a
        inc ix
        inc ix
        ret

; Clears the ball's bytes at x = A, line = C in the hidden screen.
erase:  push ix
        call locate
erase_line:
        call line_address
        xor a
        ld (de),a
        inc e
        ld (de),a
        inc e
        ld (de),a
        inc e
        ld (de),a
        djnz erase_line
        pop ix
        ret

; ORs the ball in at x = A, line = C in the hidden screen.
draw:   push ix
        call locate
        ld l,a                  ; sprite = sprites + shift x 96
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld d,h
        ld e,l
        add hl,hl
        add hl,de
        ld de,sprites
        add hl,de
draw_line:
        call line_address
        REPT SPRITE_BYTES-1
        ld a,(de)
        or (hl)
        ld (de),a
        inc hl
        inc e
        ENDM
        ld a,(de)
        or (hl)
        ld (de),a
        inc hl
        djnz draw_line
        pop ix
        ret

; A bounce: channel C's noise drum, pitched by the ball, restarted by writing the envelope
; shape (one fall).
drum:   ld a,AY_NOISE
        ld e,(ix+BALL_NOISE)
        call ay
        ld a,AY_SHAPE
        ld e,0
        call ay
        ret

; The tune: melody on A with a falling volume, bass on B.
music:  ld a,(volume)
        cp 9
        jr c,volume_set
        dec a
        ld (volume),a
volume_set:
        ld e,a
        ld a,AY_VOLUME_A
        call ay
        ld a,(timer)
        dec a
        jr nz,music_done
        ld hl,(row)
        ld a,(hl)
        cp 0FFh
        jr nz,row_read
        ld hl,song              ; the end: from the top
        ld a,(hl)
row_read:
        inc hl
        or a
        jr z,melody_held
        ld c,AY_TONE_A
        call tone
        ld a,15
        ld (volume),a
melody_held:
        ld a,(hl)
        inc hl
        or a
        jr z,bass_held
        ld c,AY_TONE_B
        call tone
bass_held:
        ld (row),hl
        ld a,FRAMES_PER_ROW
music_done:
        ld (timer),a
        ret

        INCLUDE "ay.inc"

isr:    ei
        reti
code_end:

shown:  DEFB 0                  ; the paging latch's screen bit
hidden: DEFB 0                  ; 0 or 80h: the hidden screen's address offset from 4000h
slot:   DEFB 0                  ; BALL_OLD of the hidden screen
column: DEFB 0
line:   DEFB 0
timer:  DEFB 0
volume: DEFB 0
row:    DEFW 0

; The address of each display line of the screen at 4000h.
        ORG 9000h
lines:
        REPT 192, y
        LINE_ADDRESS y
        ENDM

        ORG 9200h
sprites:
        INCBIN "ball_sprites.bin"

; x, dx, y, vy, kick, where drawn on each screen (both where it starts), drum pitch.
BALL MACRO x, dx, y, kick, noise
        DEFB x, dx
        DEFW y*16, 0, kick
        DEFB x, y, x, y
        DEFB noise, 0, 0, 0
        ENDM

        ORG 9600h
balls:  BALL 24,1,110,-72,24
        BALL 104,-2,40,-96,10
        BALL 196,2,80,-116,3

        ORG 9700h
periods:
        INCLUDE "ay_notes.inc"

; The song, an eighth a row: the melody's note and the bass's (0 holds the note before).
        ORG 9800h
song:   DEFB A4,A2, 0,A3, C5,A2, E5,A3, 0,A2, D5,A3, C5,A2, 0,A3
        DEFB A4,F2, 0,F3, C5,F2, F5,F3, 0,F2, E5,F3, C5,F2, 0,F3
        DEFB G4,C3, 0,C4, C5,C3, E5,C4, 0,C3, G5,C4, E5,C3, 0,C4
        DEFB D5,G2, 0,G3, B4,G2, G4,G3, 0,G2, B4,G3, D5,G2, 0,G3
        DEFB A5,A2, 0,A3, G5,A2, E5,A3, 0,A2, C5,A3, E5,A2, 0,A3
        DEFB F5,F2, 0,F3, E5,F2, C5,F3, 0,F2, A4,F3, C5,F2, 0,F3
        DEFB E5,C3, 0,C4, G5,C3, C6,C4, 0,C3, G5,C4, E5,C3, 0,C4
        DEFB D5,G2, 0,G3, B4,G2, D5,G3, G5,G2, 0,G3, 0,G2, 0,G3
        DEFB 0FFh               ; the end

        VECTORS isr

        END start
