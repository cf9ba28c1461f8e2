/* The second-stage boot: the 256 bytes the bootrom copies from the start of flash to SRAM
   (0x20041F00) and runs once their CRC32 matches. It sets the flash interface (SSI) up for execute
   in place with the plain serial read, command 03h, which every flash chip on every RP2040 board
   answers, then enters the vector table at 0x10000100. Position-independent: it runs from SRAM on
   the chip, and from flash where an emulator starts it without a bootrom. The build appends the
   CRC32 (image.cpp) to make it 256 bytes.

   Entered from the bootrom with lr 0; called as a function (lr not 0), it returns instead. */
    .syntax unified
    .cpu cortex-m0plus
    .thumb
    .section .boot2_code, "ax"

    .equ SSI_BASE, 0x18000000
    .equ SSI_CTRLR0, 0x00
    .equ SSI_CTRLR1, 0x04
    .equ SSI_SSIENR, 0x08
    .equ SSI_BAUDR, 0x14
    .equ SSI_RX_SAMPLE_DLY, 0xf0
    .equ SSI_SPI_CTRLR0, 0xf4
    .equ VTOR, 0xe000ed08
    .equ VECTORS, 0x10000100

    .global Boot2
    .type Boot2, %function
    .thumb_func
Boot2:
    push {lr}
    ldr r3, =SSI_BASE
    movs r1, #0
    str r1, [r3, #SSI_SSIENR]          /* the SSI takes its settings only while disabled */
    /* clk_sys / 6: about 1 MHz on the ring oscillator at reset, 20.8 MHz once the firmware runs
       clk_sys at 125 MHz, within what 03h allows on any chip (33 MHz and up). */
    movs r1, #6
    str r1, [r3, #SSI_BAUDR]
    movs r1, #1
    movs r2, #SSI_RX_SAMPLE_DLY
    str r1, [r3, r2]                   /* sample half an SCK later: the pads' delay */
    /* 32-bit frames (DFS_32 = 31), EEPROM read mode (TMOD = 3), standard SPI. */
    ldr r1, =((31 << 16) | (3 << 8))
    str r1, [r3, #SSI_CTRLR0]
    movs r1, #0
    str r1, [r3, #SSI_CTRLR1]          /* one data frame a transfer */
    /* Command 03h, 8-bit instruction (INST_L = 2), 24-bit address (ADDR_L = 6), no wait cycles,
       command and address in standard SPI (TRANS_TYPE = 0). */
    ldr r1, =((0x03 << 24) | (2 << 8) | (6 << 2))
    movs r2, #SSI_SPI_CTRLR0
    str r1, [r3, r2]
    movs r1, #1
    str r1, [r3, #SSI_SSIENR]
    pop {r0}
    cmp r0, #0
    beq 1f
    bx r0
1:
    ldr r0, =VECTORS
    ldr r1, =VTOR
    str r0, [r1]
    ldmia r0!, {r1, r2}                /* the initial stack pointer and the reset handler */
    msr msp, r1
    bx r2
    .ltorg
