; Starfield (48K): stars in four layers drift past the title at their own speeds, plotted and
; erased with XOR so that the letters survive them, while the beeper plays a tune. Each frame:
; the stars first, then the note of the moment for most of what is left of the frame (a
; counted loop that toggles the speaker), then HALT until the next interrupt.

        INCLUDE "zx_hardware.inc"

STAR_COUNT      EQU 64
STAR_SIZE       EQU 5           ; x, speed, line address (2 bytes), mask offset (0 or 8)

; The picture, with the stars already drawn so that the first erase finds them.
        ORG SCREEN
        INCBIN "starfield_screen.scr"

        ORG 8000h
start:  TAKE_OVER
        ld hl,tune
        ld (note),hl
        xor a
        ld (left),a
        out (ULA),a
        ei

main:   halt
        ld ix,stars
        ld b,STAR_COUNT
star:   ld a,(ix+0)
        ld e,(ix+2)
        ld d,(ix+3)
        ld h,(ix+4)
        call plot               ; erase
        ld a,(ix+0)
        ld c,(ix+1)
        sub c                   ; drift left by its speed
        ld (ix+0),a
        ld e,(ix+2)
        ld d,(ix+3)
        ld h,(ix+4)
        call plot               ; draw
        ld de,STAR_SIZE
        add ix,de
        djnz star
        call music
        jr main

; XOR the star at x = A on the line at DE, H its mask offset. Keeps B.
plot:   ld c,a
        rrca
        rrca
        rrca
        and 31
        add a,e
        ld e,a                  ; DE: the byte of column x / 8
        ld a,c
        and 7
        or h
        ld l,a
        ld h,HIGH masks
        ld a,(de)
        xor (hl)
        ld (de),a
        ret

; The tune: a new note when the last one has run out; the last frame of each note is silent so
; that repeated notes are heard apart.
music:  ld a,(left)
        or a
        jr nz,sounding
        ld hl,(note)
next_note:
        ld a,(hl)
        ld (delay),a
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        ld (halves),de
        ld a,(hl)
        inc hl
        or a
        jr nz,start_note
        ld hl,tune              ; the end: from the top
        jr next_note
start_note:
        ld (note),hl
sounding:
        dec a
        ld (left),a
        ret z
        ld a,(delay)
        or a
        ret z                   ; a rest
        ld c,a
        ld de,(halves)
        ld l,0                  ; speaker off, border black
tone:   ld a,l
        xor SPEAKER
        ld l,a
        out (ULA),a
        ld b,c
wait:   djnz wait
        dec de
        ld a,d
        or e
        jr nz,tone
        xor a
        out (ULA),a             ; leave the speaker off
        ret

isr:    ei
        reti
code_end:

note:   DEFW 0                  ; the next note in the tune
left:   DEFB 0                  ; frames left of this one
delay:  DEFB 0
halves: DEFW 0

; The pixels of x AND 7: 8 single dots, then 8 streaks of two.
        ORG 9000h
masks:  DEFB 80h,40h,20h,10h,08h,04h,02h,01h
        DEFB 0C0h,60h,30h,18h,0Ch,06h,03h,01h

        ORG 9100h
stars:  INCBIN "starfield_stars.bin"

; A note: its delay, the half-periods that fill the frame's tone time, and its length in
; frames. The tone loop takes 51 + 13 x delay T-states a half-period, so a note of f Hz has
; delay (3500000 / 2f - 51) / 13.
TONE_BUDGET     EQU 40000       ; T-states of tone a frame
FRAMES_PER_EIGHTH EQU 7
E5      EQU 200
F5      EQU 189
G5      EQU 168
A5      EQU 149
B5      EQU 132
C6      EQU 125
D6      EQU 111
E6      EQU 98
F6      EQU 92
G6      EQU 82
REST    EQU 0

NOTE MACRO pitch, eighths
        DEFB pitch
        IF pitch
        DEFW TONE_BUDGET / (51 + 13*pitch)
        ELSE
        DEFW 0
        ENDIF
        DEFB eighths * FRAMES_PER_EIGHTH
        ENDM

        ORG 9400h
tune:   NOTE E5,1
        NOTE G5,1
        NOTE C6,1
        NOTE G5,1
        NOTE E5,1
        NOTE G5,1
        NOTE C6,1
        NOTE E6,1
        NOTE D6,1
        NOTE C6,1
        NOTE B5,1
        NOTE G5,1
        NOTE A5,2
        NOTE G5,2

        NOTE F5,1
        NOTE A5,1
        NOTE D6,1
        NOTE A5,1
        NOTE F5,1
        NOTE A5,1
        NOTE D6,1
        NOTE F6,1
        NOTE E6,1
        NOTE D6,1
        NOTE C6,1
        NOTE B5,1
        NOTE C6,3
        NOTE REST,1

        NOTE E6,1
        NOTE D6,1
        NOTE C6,1
        NOTE D6,1
        NOTE E6,2
        NOTE E6,2
        NOTE D6,1
        NOTE C6,1
        NOTE B5,1
        NOTE C6,1
        NOTE D6,2
        NOTE G5,2

        NOTE A5,1
        NOTE B5,1
        NOTE C6,1
        NOTE D6,1
        NOTE E6,1
        NOTE F6,1
        NOTE G6,2
        NOTE E6,1
        NOTE D6,1
        NOTE B5,1
        NOTE D6,1
        NOTE C6,3
        NOTE REST,1
        DEFB 0,0,0,0            ; the end

        VECTORS isr

        END start
