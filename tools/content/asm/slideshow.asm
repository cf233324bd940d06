; Slideshow (128K): four pictures kept in RAM banks 1, 3, 4 and 6 (the snapshot holds them
; there: the bundled title, test card, sunset and spheres screens). Each in turn is paged in at
; 0C000h and wiped onto the screen from the middle outwards, to a chime on the AY, and a glint
; of light runs across it while it is shown.

        INCLUDE "zx_hardware.inc"

PICTURE         EQU 0C000h      ; the paged bank: a screen's 6912 bytes at its start
SHOW_FRAMES     EQU 250         ; five seconds a picture
DIAGONALS       EQU 32+24-1     ; column + row runs from 0 to 54

        ORG 8000h
start:  TAKE_OVER
        call clear_screen       ; black until the first picture comes in
        ld hl,chip
        ld b,(chip_end-chip)/2
set_chip:
        ld a,(hl)
        inc hl
        ld e,(hl)
        inc hl
        push bc
        call ay
        pop bc
        djnz set_chip
        call next_picture
        ei

main:   halt
        ld a,(wiping)
        or a
        jr z,showing
        call wipe
        jr main
showing:
        call glint
        ld hl,shown
        dec (hl)
        call z,next_picture
        jr main

; Pages in the next picture and starts its wipe and its chime.
next_picture:
        ld a,(glint_at)
        call restore            ; the glint off the picture that goes
        ld a,(glint_at)
        inc a
        call restore
        xor a
        ld (glint_at),a
        ld a,(picture)
        inc a
        and 3
        ld (picture),a
        ld e,a
        ld d,0
        ld hl,banks
        add hl,de
        ld a,(hl)               ; bank 1, 3, 4 or 6 at 0C000h, screen 5 shown
        ld bc,PAGING
        out (c),a
        ld hl,chimes
        add hl,de
        add hl,de
        ld a,(hl)
        ld c,AY_TONE_A
        push hl
        call tone
        pop hl
        inc hl
        ld a,(hl)
        ld c,AY_TONE_B
        call tone
        ld a,AY_SHAPE
        ld e,0                  ; one fall of the envelope: struck, then dying away
        call ay
        ld a,16
        ld (wiping),a
        ld a,SHOW_FRAMES
        ld (shown),a
        ret

; Two more columns of the picture onto the screen, from the middle outwards.
wipe:   ld hl,wiping
        dec (hl)
        ld a,(hl)               ; 15 down to 0
        push af
        call column
        pop af
        cpl
        add a,32                ; 31 - A: 16 up to 31
        ; and on into column

; Copies column A of the picture, bitmap and attributes: every 32nd byte of its 6912. A
; screen's place in the paged bank differs from its place at 4000h only in bit 7 of the high
; byte.
column: ld l,a
        ld h,HIGH PICTURE
        ld de,32
        ld b,SCREEN_SIZE/32
column_byte:
        ld a,(hl)
        res 7,h
        ld (hl),a
        set 7,h
        add hl,de
        djnz column_byte
        ret

; The glint: two diagonals of cells whose ink shines bright white, a diagonal further on each
; frame.
glint:  ld a,(glint_at)
        call restore
        ld a,(glint_at)
        inc a
        call restore
        ld a,(glint_at)
        inc a
        cp DIAGONALS
        jr c,glint_on
        xor a
glint_on:
        ld (glint_at),a
        ld c,0FFh               ; lit
        call diagonal
        ld a,(glint_at)
        inc a
        ld c,0FFh               ; and on into diagonal

; The cells of diagonal A (column + row = A) given back their picture's attribute (C = 0), or
; lit: BRIGHT white ink on the picture's paper (C = 0FFh).
diagonal:
        ld hl,ATTRIBUTES + PICTURE - SCREEN
        ld e,a                  ; E: the column on this row
        ld b,24
diagonal_row:
        ld a,e
        cp 32
        jr nc,diagonal_next     ; off the screen (the column is below 0 or above 31)
        push hl
        add a,l
        ld l,a                  ; the rows start on 32-byte boundaries: no carry
        ld a,(hl)
        res 7,h
        bit 0,c
        jr z,diagonal_set
        and 38h                 ; the paper
        or BRIGHT+WHITE
diagonal_set:
        ld (hl),a
        pop hl
diagonal_next:
        ld a,l
        add a,32
        ld l,a
        jr nc,diagonal_down
        inc h
diagonal_down:
        dec e
        djnz diagonal_row
        ret

; Diagonal A given back its picture's attributes.
restore:
        ld c,0
        jr diagonal

        INCLUDE "screen.inc"
        INCLUDE "ay.inc"

isr:    ei
        reti
code_end:

picture:
        DEFB 3                  ; the picture shown; the first step brings in picture 0
wiping: DEFB 0                  ; column pairs still to wipe in
shown:  DEFB 0                  ; frames left to show it
glint_at:
        DEFB 0

; The banks that hold the pictures.
banks:  DEFB 1,3,4,6

; The chip at the start: register, value. Tones on A and B under the envelope, which falls in
; about a second.
chip:   DEFB AY_MIXER,3Ch
        DEFB AY_VOLUME_A,10h
        DEFB AY_VOLUME_B,10h
        DEFB AY_VOLUME_C,0
        DEFB AY_ENVELOPE,0
        DEFB AY_ENVELOPE+1,18h
chip_end EQU $

        DEFS (-$) AND 0FFh
periods:
        INCLUDE "ay_notes.inc"

; Each picture's chime: two notes a fifth or so apart, together a small cadence.
chimes: DEFB C5,G5
        DEFB A4,E5
        DEFB F4,C5
        DEFB G4,D5

        VECTORS isr

        END start
