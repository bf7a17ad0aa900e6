// Loads ZRC memory images the way a design would, into reg [9:0] mem [0:31],
// and prints every word of each, one per line in binary, after a line
// "image". The images come from the list file named by +list=<file>: one
// line per image, "b <file>" for $readmemb or "h <file>" for $readmemh.
// Before each load every word is set to all ones, a value no ZRC word has,
// so a word the image does not hold shows.
module rom_tb;
  reg [9:0] mem[0:31];
  reg [8*256-1:0] list;
  reg [8*256-1:0] name;
  reg [7:0] radix;
  integer fd, i, n;

  initial begin
    if ($value$plusargs("list=%s", list) == 0) $fatal(1, "usage: +list=<file>");
    fd = $fopen(list, "r");
    if (fd == 0) $fatal(1, "cannot open the list");
    n = $fscanf(fd, "%c %s\n", radix, name);
    while (n == 2) begin
      for (i = 0; i < 32; i = i + 1) mem[i] = 10'h3ff;
      if (radix == "h") $readmemh(name, mem);
      else $readmemb(name, mem);
      $display("image");
      for (i = 0; i < 32; i = i + 1) $display("%b", mem[i]);
      n = $fscanf(fd, "%c %s\n", radix, name);
    end
    $fclose(fd);
    $finish;
  end
endmodule
