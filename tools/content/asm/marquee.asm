; Marquee (48K): a message in big letters scrolls across a wall of LEDs (one character cell a
; LED, lit by its attribute) between two colour ribbons that wave across the screen, under a
; title whose colours run along it.

        INCLUDE "zx_hardware.inc"

LED_ROWS        EQU ATTRIBUTES + 8*32   ; rows 8-15: the wall, 8 LEDs high
LED_OFF         EQU BLUE                ; dark blue on black
TOP_RIBBON      EQU ATTRIBUTES + 2*32   ; rows 2-5
BOTTOM_RIBBON   EQU ATTRIBUTES + 17*32  ; rows 17-20

; The picture the colours are painted on: the title, the LED dots, the ribbon bars.
        ORG SCREEN
        INCBIN "marquee_screen.scr"

        ORG 8000h
start:  TAKE_OVER
        ld hl,message
        ld (text),hl
        ld a,80h                ; the leftmost column of the first letter
        ld (column),a
        xor a
        out (ULA),a             ; black border, speaker off
        ei

main:   halt
        ld a,(tick)
        inc a
        ld (tick),a
        call title
        ld hl,TOP_RIBBON
        ld a,(tick)
        add a,a
        add a,a                 ; four steps of the wave a frame
        call ribbon
        ld a,(tick)
        and 1
        call z,marquee          ; one LED column every other frame
        ld hl,BOTTOM_RIBBON
        ld a,(tick)
        add a,a
        add a,a
        neg                     ; the lower ribbon runs the other way
        call ribbon
        jr main

; The title's colours run along row 0.
title:  ld a,(tick)
        srl a
        srl a
        ld c,a
        ld b,HIGH colours
        ld hl,ATTRIBUTES
title_cell:
        ld a,(bc)
        ld (hl),a
        inc c
        inc l
        ld a,l
        cp 32
        jr nz,title_cell
        ret

; A ribbon two cells high waving over four rows. In: HL the band's first cell, A the phase.
ribbon: ld (phase),a
        push hl
        ld d,h
        ld e,l
        inc de
        ld (hl),0
        ld bc,4*32-1
        ldir                    ; the band dark
        pop hl
        ld a,(phase)
        ld e,a
        ld d,HIGH wave
        ld b,HIGH colours
ribbon_cell:
        ld a,(de)               ; the row for this column
        add a,l
        ld c,l                  ; the column's own colour: colours + L
        ld l,a
        ld a,(bc)
        ld (hl),a
        ld a,l
        add a,32
        ld l,a
        ld a,(bc)
        ld (hl),a
        ld l,c
        ld a,e
        add a,8                 ; neighbouring columns 8 steps apart on the wave
        ld e,a
        inc l
        ld a,l
        and 31
        jr nz,ribbon_cell
        ret

; One step of the marquee: every LED moves one place left and column 31 takes the next
; column of the current letter.
marquee:
        ld hl,LED_ROWS+1
        ld de,LED_ROWS
        ld bc,255
        ldir
        ld hl,(text)
        ld a,(hl)
        or a
        jr nz,have_letter
        ld hl,message           ; the end: start again
        ld (text),hl
        ld a,(hl)
have_letter:
        sub 32
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,font
        add hl,de               ; HL: the glyph
        ; Each letter lights its LEDs in the next colour of the rainbow.
        ld a,(text)
        and 7
        ld e,a
        ld d,0
        ld ix,colours
        add ix,de
        ld a,(column)
        ld c,a
        ld de,LED_ROWS+31
        ld b,8
led:    ld a,(hl)
        and c
        ld a,LED_OFF            ; LD keeps the flags of AND
        jr z,led_set
        ld a,(ix+0)
led_set:
        ld (de),a
        inc hl
        ld a,e
        add a,32
        ld e,a
        djnz led
        ld a,c
        rrca                    ; the next column; after the eighth the next letter
        ld (column),a
        ret nc
        ld hl,(text)
        inc hl
        ld (text),hl
        ret

isr:    ei
        reti
code_end:

tick:   DEFB 0
phase:  DEFB 0
column: DEFB 0                  ; the bit of the glyph's column that comes in next
text:   DEFW 0                  ; the letter that comes in next

; The row offset (0, 32, 64 or 96) of the ribbon in each of 256 steps of a sine wave:
; 32 x round(1.5 + 1.5 sin(2 pi k / 256)).
        ORG 9000h
wave:   DEFB 64,64,64,64,64,64,64,64,64,64,64,64,64,64,64,64
        DEFB 64,64,64,64,64,64,64,64,64,64,64,64,64,64,96,96
        DEFB 96,96,96,96,96,96,96,96,96,96,96,96,96,96,96,96
        DEFB 96,96,96,96,96,96,96,96,96,96,96,96,96,96,96,96
        DEFB 96,96,96,96,96,96,96,96,96,96,96,96,96,96,96,96
        DEFB 96,96,96,96,96,96,96,96,96,96,96,96,96,96,96,96
        DEFB 96,96,96,64,64,64,64,64,64,64,64,64,64,64,64,64
        DEFB 64,64,64,64,64,64,64,64,64,64,64,64,64,64,64,64
        DEFB 64,32,32,32,32,32,32,32,32,32,32,32,32,32,32,32
        DEFB 32,32,32,32,32,32,32,32,32,32,32,32,32,32,0,0
        DEFB 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0
        DEFB 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0
        DEFB 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0
        DEFB 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0
        DEFB 0,0,0,32,32,32,32,32,32,32,32,32,32,32,32,32
        DEFB 32,32,32,32,32,32,32,32,32,32,32,32,32,32,32,32

; A rainbow of BRIGHT inks, page-aligned so that a column number indexes it.
        ORG 9100h
colours:
        REPT 32
        DEFB BRIGHT+RED,BRIGHT+YELLOW,BRIGHT+GREEN,BRIGHT+CYAN
        DEFB BRIGHT+WHITE,BRIGHT+MAGENTA,BRIGHT+GREEN,BRIGHT+YELLOW
        ENDM

; Characters 32 to 127 of our own font, 8 bytes each.
        ORG 9200h
font:   INCBIN "font.bin"

        ORG 9500h
message:
        DEFM "    WELCOME TO GLIMMERBOX!   SPECTRUMS ON TELEVISIONS, IN A SCREEN SAVER OF THEIR "
        DEFM "OWN...   THIS MARQUEE RUNS WITHOUT A SINGLE ROM ROUTINE: ITS OWN FONT, ITS OWN "
        DEFM "INTERRUPTS, 768 LEDS OF ATTRIBUTES.   GREETINGS TO EVERY RUBBER KEY STILL IN SERVICE!   "
        DEFB 0

        VECTORS isr

        END start
