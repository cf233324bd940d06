; Plasma (48K): every character cell is recoloured every frame from sums of sine waves over its
; column and row. A checkerboard in the bitmap mixes each cell's ink and paper half and half, so
; a palette of ink and paper pairs gives twice as many shades as there are colours.

        INCLUDE "zx_hardware.inc"

ROWS            EQU 9200h       ; 24 bytes: the row terms of this frame
COLUMNS         EQU 92E0h       ; 32 bytes: the column terms, ending on a page boundary

; The checkerboard. Pixel lines alternate with bit 0 of the address's high byte, so the screen
; is pages of 55h (even lines) and 0AAh (odd lines) in turn.
        ORG SCREEN
        REPT 12
        DEFS 256,55h
        DEFS 256,0AAh
        ENDM

        ORG 8000h
start:  TAKE_OVER
        xor a
        out (ULA),a
        ei

main:   halt
        ; Four phases move at their own speeds.
        ld a,(p1)
        add a,3
        ld (p1),a
        ld a,(p2)
        add a,-2
        ld (p2),a
        ld a,(p3)
        add a,2
        ld (p3),a
        ld a,(p4)
        add a,5
        ld (p4),a
        ld h,HIGH sine
        ; Column terms: sine(7x + p1) + sine(4x + p2).
        ld a,(p1)
        ld c,a
        ld a,(p2)
        ld b,a
        ld de,COLUMNS
column_term:
        ld l,c
        ld a,(hl)
        ld l,b
        add a,(hl)
        ld (de),a
        ld a,c
        add a,7
        ld c,a
        ld a,b
        add a,4
        ld b,a
        inc e
        jr nz,column_term       ; COLUMNS ends on the page boundary
        ; Row terms: sine(8y + p3) + sine(5y + p4).
        ld a,(p3)
        ld c,a
        ld a,(p4)
        ld b,a
        ld de,ROWS
row_term:
        ld l,c
        ld a,(hl)
        ld l,b
        add a,(hl)
        ld (de),a
        ld a,c
        add a,8
        ld c,a
        ld a,b
        add a,5
        ld b,a
        inc e
        ld a,e
        cp LOW ROWS + 24
        jr nz,row_term

        ; Cells: palette(column term + row term + cycle). The row term is written into the ADD
        ; of the inner loop, which keeps every register free for the cell itself.
        ld a,(p4)
        ld (cycle),a
        ld de,ATTRIBUTES
        ld hl,ROWS
row:    ld a,(cycle)
        add a,(hl)
        ld (row_value),a
        push hl
        ld h,HIGH palette
        ld bc,COLUMNS
cell:   ld a,(bc)
        add a,0
row_value EQU $-1
        ld l,a
        ld a,(hl)
        ld (de),a
        inc de
        inc c
        jr nz,cell
        pop hl
        inc l
        ld a,d
        cp HIGH (ATTRIBUTES + 768)      ; past the last attribute row
        jr nz,row
        jp main

isr:    ei
        reti
code_end:

p1:     DEFB 0
p2:     DEFB 0
p3:     DEFB 0
p4:     DEFB 0
cycle:  DEFB 0

; 256 steps of a sine wave from 0 to 47: round(23.5 + 23.5 sin(2 pi k / 256)). Four terms
; add up to at most 188, inside the palette's 256.
        ORG 9000h
sine:   DEFB 24,24,25,25,26,26,27,28,28,29,29,30,30,31,31,32
        DEFB 32,33,34,34,35,35,36,36,37,37,37,38,38,39,39,40
        DEFB 40,41,41,41,42,42,42,43,43,43,44,44,44,44,45,45
        DEFB 45,45,46,46,46,46,46,46,47,47,47,47,47,47,47,47
        DEFB 47,47,47,47,47,47,47,47,47,46,46,46,46,46,46,45
        DEFB 45,45,45,44,44,44,44,43,43,43,42,42,42,41,41,41
        DEFB 40,40,39,39,38,38,37,37,37,36,36,35,35,34,34,33
        DEFB 32,32,31,31,30,30,29,29,28,28,27,26,26,25,25,24
        DEFB 24,23,22,22,21,21,20,19,19,18,18,17,17,16,16,15
        DEFB 15,14,13,13,12,12,11,11,10,10,10,9,9,8,8,7
        DEFB 7,6,6,6,5,5,5,4,4,4,3,3,3,3,2,2
        DEFB 2,2,1,1,1,1,1,1,0,0,0,0,0,0,0,0
        DEFB 0,0,0,0,0,0,0,0,0,1,1,1,1,1,1,2
        DEFB 2,2,2,3,3,3,3,4,4,4,5,5,5,6,6,6
        DEFB 7,7,8,8,9,9,10,10,10,11,11,12,12,13,13,14
        DEFB 15,15,16,16,17,17,18,18,19,19,20,21,21,22,22,23

; Round the colour wheel in 16 shades of 8 steps each: a colour alone (ink and paper alike),
; then mixed half and half with the next; twice over.
SHADE MACRO paper, ink
        DEFS 8,BRIGHT + paper*PAPER + ink
        ENDM

        ORG 9100h
palette:
        REPT 2
        SHADE BLACK,BLACK
        SHADE BLACK,BLUE
        SHADE BLUE,BLUE
        SHADE BLUE,MAGENTA
        SHADE MAGENTA,MAGENTA
        SHADE MAGENTA,RED
        SHADE RED,RED
        SHADE RED,YELLOW
        SHADE YELLOW,YELLOW
        SHADE YELLOW,WHITE
        SHADE WHITE,WHITE
        SHADE WHITE,CYAN
        SHADE CYAN,CYAN
        SHADE CYAN,BLUE
        SHADE BLUE,BLUE
        SHADE BLUE,BLACK
        ENDM

        VECTORS isr

        END start
