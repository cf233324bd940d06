; A ROM of our own (16K, replaces the Spectrum's ROM at 0000h): it sets its own stack, clears
; the screen, prints with its own font, then waits for the interrupts in IM 1 (its routine at
; 0038h) and animates the attributes: the title's colours run along it and a bar of light
; sweeps to and fro.

        INCLUDE "zx_hardware.inc"

VARIABLES       EQU 5B00h       ; RAM just above the screen
position        EQU VARIABLES   ; the bar's first column
direction       EQU VARIABLES+1 ; +1 or -1
tick            EQU VARIABLES+2
TITLE_ROW       EQU 2
BAR_ROW         EQU 12
BAR_WIDTH       EQU 6

        ORG 0000h
start:  di
        ld sp,0000h             ; the first push lands at 0FFFFh
        jp reset

; An unprogrammed EPROM reads 0FFh.
        DEFS 38h-$,0FFh
; IM 1 interrupt: only wakes the HALT of the main loop.
        ei
        ret

        DEFS 66h-$,0FFh
; NMI.
        retn

reset:  xor a
        out (ULA),a
        ld hl,SCREEN
        ld de,SCREEN+1
        ld bc,6143
        ld (hl),0
        ldir
        ld hl,ATTRIBUTES
        ld de,ATTRIBUTES+1
        ld bc,767
        ld (hl),WHITE           ; white on black
        ldir
        ld hl,lines
        call print_lines
        xor a
        ld (position),a
        ld (tick),a
        inc a
        ld (direction),a
        im 1
        ei

main:   halt
        ld a,(tick)
        inc a
        ld (tick),a
        ; The title's colours: a rainbow that runs along the row.
        srl a
        srl a
        ld c,a
        ld hl,ATTRIBUTES + TITLE_ROW*32
title_cell:
        ld a,c
        and 7
        ld e,a
        ld d,0
        push hl
        ld hl,rainbow
        add hl,de
        ld a,(hl)
        pop hl
        ld (hl),a
        inc c
        inc l
        ld a,l
        and 31
        jr nz,title_cell
        ; The bar: a row of papers from dark to light and back, moving one cell every 2 frames.
        ld a,(tick)
        and 1
        jr nz,main
        ld hl,ATTRIBUTES + BAR_ROW*32
        ld de,ATTRIBUTES + BAR_ROW*32 + 1
        ld bc,31
        ld (hl),0
        ldir
        ld a,(position)
        ld c,a
        ld a,(direction)
        add a,c
        ld (position),a
        jr z,turn
        cp 32 - BAR_WIDTH
        jr nz,paint
turn:   ld a,(direction)
        neg
        ld (direction),a
paint:  ld a,(position)
        add a,LOW (ATTRIBUTES + BAR_ROW*32)
        ld e,a
        ld d,HIGH (ATTRIBUTES + BAR_ROW*32)
        ld hl,bar
        ld bc,BAR_WIDTH
        ldir
        jr main

        INCLUDE "print.inc"
code_end:

rainbow:
        DEFB BRIGHT+RED,BRIGHT+YELLOW,BRIGHT+GREEN,BRIGHT+CYAN
        DEFB BRIGHT+WHITE,BRIGHT+MAGENTA,BRIGHT+YELLOW,BRIGHT+CYAN
bar:    DEFB BRIGHT+BLUE*PAPER,BRIGHT+CYAN*PAPER,BRIGHT+WHITE*PAPER
        DEFB BRIGHT+WHITE*PAPER,BRIGHT+CYAN*PAPER,BRIGHT+BLUE*PAPER

; Row, column (centred), text.
lines:  DEFB TITLE_ROW,5,"*** GLIMMERBOX ROM ***",0
        DEFB 5,4,"A ROM IMAGE OF OUR OWN:",0
        DEFB 7,5,"NO BASIC, NO KEYWORDS,",0
        DEFB 9,3,"A PAGE OF Z80 AND A FONT.",0
        DEFB 15,5,"IT SETS ITS OWN STACK,",0
        DEFB 17,5,"PRINTS ITS OWN LETTERS",0
        DEFB 19,7,"AND WAKES ON IM 1.",0
        DEFB 22,10,"(C) CORVANE",0
        DEFB 0FFh

font:   INCBIN "font.bin"

        DEFS 4000h-$,0FFh

        END start
