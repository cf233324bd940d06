; Sketch Pad (48K): a pen drawn over the screen's attribute cells by the keys Q (up), A (down),
; O (left) and P (right); SPACE takes the next colour (black rubs out). The pen's cell flashes.
; The keys are read every frame, so a recording of the program holds what was pressed: the
; bundled .rzx replays a drawing made this way. The title's colours run while nothing moves.

        INCLUDE "zx_hardware.inc"

MOVE_FRAMES     EQU 3           ; frames between two steps of the pen while a key is held
TOP             EQU 1           ; rows the pen may visit
BOTTOM          EQU 22

; Bits of read_keys' answer.
KEY_UP          EQU 0
KEY_DOWN        EQU 1
KEY_LEFT        EQU 2
KEY_RIGHT       EQU 3
KEY_SPACE       EQU 4

        ORG 8000h
start:  TAKE_OVER
        call clear_screen
        ld a,BLUE
        out (ULA),a
        ld hl,ATTRIBUTES+23*32
        ld a,WHITE+BLUE*PAPER
        call fill_row
        ld hl,title
        ld bc,0*256+11
        call print
        ld hl,help
        ld bc,23*256+1
        call print
        call show_pen
        ei

main:   halt
        call run_title
        call read_keys
        ld c,a                  ; C: the keys held now
        ld a,(held)
        cpl
        and c                   ; pressed since the last frame
        ld b,a
        ld a,c
        ld (held),a
        bit KEY_SPACE,b
        call nz,next_colour
        ld hl,countdown
        dec (hl)
        jr nz,main
        ld (hl),MOVE_FRAMES
        ld a,c
        and 0Fh
        jr z,main
        call paint_trail
        ld hl,(pen)             ; L: column, H: row
        bit KEY_UP,c
        jr z,not_up
        ld a,h
        cp TOP
        jr z,not_up
        dec h
not_up: bit KEY_DOWN,c
        jr z,not_down
        ld a,h
        cp BOTTOM
        jr z,not_down
        inc h
not_down:
        bit KEY_LEFT,c
        jr z,not_left
        ld a,l
        or a
        jr z,not_left
        dec l
not_left:
        bit KEY_RIGHT,c
        jr z,not_right
        ld a,l
        cp 31
        jr z,not_right
        inc l
not_right:
        ld (pen),hl
        call show_pen
        jr main

; A = the keys held, a bit each (KEY_...). A half-row is read through port FEh with its
; address line low in the high byte; a held key reads 0.
read_keys:
        ld d,0
        ld a,0FBh               ; Q W E R T
        in a,(ULA)
        rra
        jr c,no_q
        set KEY_UP,d
no_q:   ld a,0FDh               ; A S D F G
        in a,(ULA)
        rra
        jr c,no_a
        set KEY_DOWN,d
no_a:   ld a,0DFh               ; P O I U Y
        in a,(ULA)
        rra
        jr c,no_p
        set KEY_RIGHT,d
no_p:   rra
        jr c,no_o
        set KEY_LEFT,d
no_o:   ld a,7Fh                ; SPACE SYMBOL-SHIFT M N B
        in a,(ULA)
        rra
        jr c,no_space
        set KEY_SPACE,d
no_space:
        ld a,d
        ret

; The title row's ink colours run along it, a step a frame. Keeps C.
run_title:
        ld a,(phase)
        inc a
        ld (phase),a
        rrca                    ; a colour step every other frame
        ld e,a
        ld hl,ATTRIBUTES
        ld b,32
title_cell:
        ld a,e
        and 7
        jr nz,not_black
        inc a                   ; black ink would hide the letter
not_black:
        or BRIGHT
        ld (hl),a
        inc hl
        inc e
        djnz title_cell
        ret

next_colour:
        ld a,(colour)
        inc a
        and 7
        ld (colour),a
        ; fall through: the pen shows its new colour

; The pen's cell flashing between its colour and the opposite one. Keeps C.
show_pen:
        call pen_cell
        call pen_paper
        ld b,a
        ld a,(colour)
        xor 7
        or b
        or FLASH
        ld (hl),a
        ret

; The pen's cell left in its colour. Keeps BC.
paint_trail:
        call pen_cell
        call pen_paper
        ld (hl),a
        ret

; A = the pen's colour as a paper attribute, BRIGHT unless black.
pen_paper:
        ld a,(colour)
        add a,a
        add a,a
        add a,a
        ret z
        or BRIGHT
        ret

; HL = the attribute of the pen's cell. Keeps BC.
pen_cell:
        ld a,(pen+1)
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld a,(pen)
        or l                    ; a row starts on a 32-byte boundary
        ld l,a
        ld a,h
        add a,HIGH ATTRIBUTES
        ld h,a
        ret

        INCLUDE "screen.inc"
        INCLUDE "print.inc"

isr:    ei
        reti
code_end:

pen:    DEFB 16,11              ; column, row
colour: DEFB RED
held:   DEFB 0
countdown:
        DEFB MOVE_FRAMES
phase:  DEFB 0
title:  DEFB "SKETCH PAD",0
help:   DEFB "Q A O P: draw   SPACE: colour",0

font:   INCBIN "font.bin"

        VECTORS isr

        END start
