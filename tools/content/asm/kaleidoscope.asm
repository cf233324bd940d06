; Kaleidoscope (48K): two pens wander at random over the top left quarter of the screen, each
; cell they pass painted in their colour and mirrored into the other three quarters, so the
; picture is always symmetrical and never the same. The bitmap is blank: what shows is the
; attributes' paper.

        INCLUDE "zx_hardware.inc"

STEPS_PER_FRAME EQU 4
STEPS_PER_COLOUR EQU 90
QUARTER_WIDTH   EQU 16
QUARTER_HEIGHT  EQU 12

; A pen's record.
PEN_X           EQU 0
PEN_Y           EQU 1
PEN_COLOUR      EQU 2           ; its place in the palette
PEN_LEFT        EQU 3           ; steps left in this colour
PEN_SIZE        EQU 4

        ORG 8000h
start:  TAKE_OVER
        call clear_screen
        ei

main:   halt
        ld b,STEPS_PER_FRAME
steps:  push bc
        ld ix,pens
        call step
        ld ix,pens+PEN_SIZE
        call step
        pop bc
        djnz steps
        jr main

; One step of pen IX, a cell up, down, left or right at random, turned back at the quarter's
; edges; then its cell painted four times over.
step:   call random
        ld b,a
        bit 1,b                 ; which way: across or up and down
        jr nz,step_down
        ld a,(ix+PEN_X)
        bit 0,b
        jr z,step_left
        inc a
        cp QUARTER_WIDTH
        jr c,x_set
        ld a,QUARTER_WIDTH-2
        jr x_set
step_left:
        dec a
        cp QUARTER_WIDTH        ; below 0 it wrapped to 0FFh
        jr c,x_set
        ld a,1
x_set:  ld (ix+PEN_X),a
        jr stepped
step_down:
        ld a,(ix+PEN_Y)
        bit 0,b
        jr z,step_up
        inc a
        cp QUARTER_HEIGHT
        jr c,y_set
        ld a,QUARTER_HEIGHT-2
        jr y_set
step_up:
        dec a
        cp QUARTER_HEIGHT
        jr c,y_set
        ld a,1
y_set:  ld (ix+PEN_Y),a
stepped:
        dec (ix+PEN_LEFT)
        jr nz,same_colour
        ld (ix+PEN_LEFT),STEPS_PER_COLOUR
        ld a,(ix+PEN_COLOUR)
        inc a
        and 7
        ld (ix+PEN_COLOUR),a
same_colour:
        ld a,(ix+PEN_COLOUR)
        ld e,a
        ld d,0
        ld hl,palette
        add hl,de
        ld c,(hl)
        ld e,(ix+PEN_X)
        ld d,(ix+PEN_Y)

; Paints colour C at column E, row D of the top left quarter and at its mirror images.
plot:   ld a,d
        call row_address
        call plot_pair
        ld a,23
        sub d
        call row_address

; Columns E and 31 - E of the row of attributes at HL.
plot_pair:
        push hl
        ld a,l
        add a,e                 ; rows start on 32-byte boundaries: no carry
        ld l,a
        ld (hl),c
        pop hl
        ld a,l
        add a,31
        sub e
        ld l,a
        ld (hl),c
        ret

; HL = the attributes of row A.
row_address:
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld a,h
        add a,HIGH ATTRIBUTES
        ld h,a
        ret

; A = eight new random bits, from a 16-bit shift register whose feedback taps make it run
; through every value but 0 before it repeats. Keeps BC and DE.
random: push bc
        ld hl,(seed)
        ld b,8
random_bit:
        srl h
        rr l
        jr nc,random_next
        ld a,h
        xor 0B4h
        ld h,a
random_next:
        djnz random_bit
        ld (seed),hl
        ld a,l
        pop bc
        ret

        INCLUDE "screen.inc"

isr:    ei
        reti
code_end:

seed:   DEFW 1984h
; x, y, colour, steps left: the two pens start in opposite corners of the quarter.
pens:   DEFB 2,2,0,STEPS_PER_COLOUR
        DEFB 13,9,4,STEPS_PER_COLOUR/2

; Paper colours, BRIGHT; black now and then clears a way for the next colours.
palette:
        DEFB BRIGHT+RED*PAPER,BRIGHT+YELLOW*PAPER,BRIGHT+MAGENTA*PAPER,BRIGHT+CYAN*PAPER
        DEFB BRIGHT+BLUE*PAPER,BRIGHT+GREEN*PAPER,BLACK,BRIGHT+WHITE*PAPER

        VECTORS isr

        END start
