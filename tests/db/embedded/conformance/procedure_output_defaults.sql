-- Procedures with defaults, OUTPUT parameters, return values and nested calls.
CREATE PROCEDURE dbo.PRICE_WITH_TAX
  @price DECIMAL(10,2),
  @rate DECIMAL(5,2) = 10.00,
  @total DECIMAL(10,2) OUTPUT,
  @label VARCHAR(8) = 'standard'
AS
BEGIN
  SET NOCOUNT ON
  IF @price < 0 RETURN -1
  SET @total = @price * (100 + @rate) / 100
  SELECT @label AS LABEL, @total AS TOTAL
  RETURN 0
END
GO
CREATE PROCEDURE dbo.DOUBLE_TOTAL @price DECIMAL(10,2), @doubled DECIMAL(10,2) OUTPUT AS
BEGIN
  DECLARE @one DECIMAL(10,2)
  EXEC PRICE_WITH_TAX @price, @total = @one OUTPUT, @label = 'nested'
  SET @doubled = @one * 2
END
GO
DECLARE @t DECIMAL(10,2), @r INT
EXEC @r = PRICE_WITH_TAX 19.99, DEFAULT, @t OUTPUT
SELECT @t AS TOTAL, @r AS RESULT
EXEC @r = PRICE_WITH_TAX @price = -5, @total = @t OUTPUT
SELECT @t AS UNCHANGED, @r AS RESULT
EXEC PRICE_WITH_TAX 10, 5.5, @t OUT, 'reduced-rate'
SELECT @t AS TOTAL
GO
DECLARE @d DECIMAL(10,2)
EXEC DOUBLE_TOTAL 50, @d OUTPUT
SELECT @d AS DOUBLED
GO
-- A parameter left out without a default, and an unknown procedure.
DECLARE @t DECIMAL(10,2)
EXEC PRICE_WITH_TAX @rate = 1, @total = @t OUTPUT
GO
EXEC NO_SUCH_PROCEDURE
GO
ALTER PROCEDURE PRICE_WITH_TAX @price DECIMAL(10,2), @rate DECIMAL(5,2) = 0,
  @total DECIMAL(10,2) OUTPUT, @label VARCHAR(8) = 'altered'
AS SET @total = @price + @rate
GO
DECLARE @d DECIMAL(10,2)
EXEC DOUBLE_TOTAL 50, @d OUTPUT
SELECT @d AS DOUBLED
GO
