// Loads a word image file the way a simulation loads a FLASH memory's contents, with $readmemh, and writes every
// word it read back out, one a line as four hex digits, for a test to compare with the image.
//
//   +file=FILE.ver   the word image file
//   +words=N         how many words it holds: half the FLASH size, rounded up
//   +out=FILE        where the words read go
module word_image_tb;
  // As large as the largest image the tests simulate; $readmemh is given the range of the file's words.
  localparam MAX_WORDS = 1 << 20;
  reg [15:0] mem [0:MAX_WORDS-1];
  reg [8*4096-1:0] file, out;
  integer words, i, fd;

  initial begin
    if (!$value$plusargs("file=%s", file) || !$value$plusargs("words=%d", words) ||
        !$value$plusargs("out=%s", out) || words < 1 || words > MAX_WORDS) begin
      $display("usage: +file=FILE.ver +words=N +out=FILE, N from 1 to %0d", MAX_WORDS);
      $fatal(1);
    end
    $readmemh(file, mem, 0, words - 1);
    fd = $fopen(out, "w");
    for (i = 0; i < words; i = i + 1) $fwrite(fd, "%h\n", mem[i]);
    $fclose(fd);
    $finish;
  end
endmodule
